#!/usr/bin/env bash
# Builds the shipped 32-bit program and packs it with its read-me files:
#   scripts/release.sh                      set-up, win32 build, dist/rdpconnector-<version>-win32.zip
#   scripts/release.sh --package EXE DIR    only the packing: DIR/rdpconnector-<version>-win32.zip from EXE
# The version is the project version of CMakeLists.txt. The read-me files are
# written for Notepad: CR LF line ends, the Chinese one in UTF-8 with a BOM.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VERSION="$(sed -n 's/^project(rdpconnector VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
[ -n "$VERSION" ] || { echo "release: no project version in CMakeLists.txt" >&2; exit 1; }

if [ "${1:-}" = "--package" ]; then
  EXE="$2"; OUT="$3"
else
  bash "$ROOT/scripts/setup.sh"
  (cd "$ROOT" && cmake --preset win32 && cmake --build --preset win32)
  EXE="$ROOT/build/win32/rdpconnector.exe"; OUT="$ROOT/dist"
fi
[ -f "$EXE" ] || { echo "release: $EXE is missing" >&2; exit 1; }
mkdir -p "$OUT"
ZIP="$OUT/rdpconnector-$VERSION-win32.zip"

python3 - "$EXE" "$ZIP" "$VERSION" "$ROOT/packaging" <<'PY'
import sys, zipfile, time
from pathlib import Path
exe, zip_path, version, packaging = sys.argv[1], Path(sys.argv[2]), sys.argv[3], Path(sys.argv[4])

def notepad_text(name, bom):
    text = (packaging / name).read_text(encoding="utf-8").replace("@VERSION@", version)
    data = text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")
    return (b"\xef\xbb\xbf" if bom else b"") + data

stamp = time.localtime()[:6]
def add(z, name, data):
    info = zipfile.ZipInfo(name, date_time=stamp)
    info.compress_type = zipfile.ZIP_DEFLATED
    info.external_attr = 0o644 << 16
    z.writestr(info, data)

tmp = zip_path.with_suffix(".zip.part")
with zipfile.ZipFile(tmp, "w") as z:
    add(z, "rdpconnector.exe", Path(exe).read_bytes())
    add(z, "说明.txt", notepad_text("说明.txt", bom=True))
    add(z, "README-en.txt", notepad_text("README-en.txt", bom=False))
tmp.replace(zip_path)
print(f"release: {zip_path}")
PY
