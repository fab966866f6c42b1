#!/usr/bin/env bash
# The run command: builds the program and runs its 64-bit twin under Wine,
# from build/run/ (its ms.ini stays there from one run to the next), in a
# Wine prefix of its own (build/run-prefix).
#
# With a DISPLAY the program simply runs until you close it. Without one, it
# runs on a virtual X display inside a Wine desktop window, a screenshot of
# the main window is saved as build/run/screenshot.png, and the program is
# closed again (which saves ms.ini, as closing it by hand does).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

TITLE="青岚3389远程连接器 v2.0"
RUN="$ROOT/build/run"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

bash scripts/setup.sh
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done

mkdir -p "$RUN"
cp build/win64/rdpconnector.exe "$RUN/rdpconnector.exe"

export WINEPREFIX="$ROOT/build/run-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG="${RDP_RUN_LANG:-zh_CN.UTF-8}"

XVFB_PID=""
PROGRAM_PID=""
cleanup() {
  if [ -n "$PROGRAM_PID" ]; then kill "$PROGRAM_PID" 2>/dev/null || true; fi
  "$WINESERVER" -k 2>/dev/null || true
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; fi
}

make_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "run: creating the Wine prefix $WINEPREFIX"
    "$WINE" wineboot -i </dev/null >/dev/null 2>&1
    "$WINESERVER" -w
  fi
}

if [ -n "${DISPLAY:-}" ]; then
  make_prefix
  cd "$RUN"
  "$WINE" rdpconnector.exe </dev/null
  "$WINESERVER" -w
  exit 0
fi

trap cleanup EXIT

# A display number nobody uses.
n=90
while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
XVFB_PID=$!
export DISPLAY=":$n"
for _ in $(seq 100); do
  if xdpyinfo >/dev/null 2>&1; then break; fi
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "run: Xvfb did not start" >&2; exit 1; }

make_prefix

DRIVER="$ROOT/build/win64/tests/wine/driver.exe"
title_hex="$(python3 -c 'import sys; print(sys.argv[1].encode("utf-16-le").hex())' "$TITLE")"

(cd "$RUN" && exec "$WINE" explorer /desktop=rdp,1024x768 rdpconnector.exe </dev/null >/dev/null 2>&1) &
PROGRAM_PID=$!

answer="$(printf 'wait %s 30000\n' "$title_hex" | "$WINE" "$DRIVER" --desktop rdp 2>/dev/null | head -n 1 || true)"
hwnd="$(printf '%s' "$answer" | python3 -c 'import json, sys; a = json.loads(sys.stdin.read() or "{}"); print(a.get("hwnd", "") if a.get("ok") else "")')"
if [ -z "$hwnd" ]; then
  echo "run: the main window did not appear: $answer" >&2
  exit 1
fi
sleep 1.5   # let it paint, and the status probe show its first results
import -window root "$RUN/screenshot.png"
echo "run: screenshot saved to $RUN/screenshot.png"

printf 'close %s\ngone %s 10000\n' "$hwnd" "$hwnd" | "$WINE" "$DRIVER" --desktop rdp >/dev/null 2>&1 || true
for _ in $(seq 100); do
  kill -0 "$PROGRAM_PID" 2>/dev/null || break
  sleep 0.1
done
echo "run: closed; settings in $RUN/ms.ini"
