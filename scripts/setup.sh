#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, then builds
# libjpeg for both MinGW targets. Safe to run again: it only installs what is
# missing and only builds what is not built yet.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
  cmake ninja-build g++ googletest libgtest-dev libjpeg-dev
  g++-mingw-w64-i686 g++-mingw-w64-x86-64
  wine64 xvfb fonts-wqy-microhei imagemagick xauth x11-utils
  dpkg-dev zip unzip python3 locales
  clang clang-14 libclang-rt-14-dev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  status="$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)"
  case "$status" in
    ii*) ;;
    *) missing+=("$p") ;;
  esac
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update
  as_root apt-get install -y --no-install-recommends "${missing[@]}"
fi

# Wine takes its ANSI code page from the locale: zh_CN.UTF-8 gives code page
# 936 only when that locale exists, en_US.UTF-8 gives 1252. The tests run the
# program under both.
for loc in zh_CN en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8$"; then
    echo "setup: generating the locale $loc.UTF-8"
    as_root localedef -i "$loc" -f UTF-8 "$loc.UTF-8"
  fi
done

bash "$ROOT/scripts/build-libjpeg.sh" i686
bash "$ROOT/scripts/build-libjpeg.sh" x86_64
