#!/usr/bin/env bash
# Builds the static libjpeg (IJG API, from Debian's libjpeg-turbo source
# package) for one MinGW target:  build-libjpeg.sh <i686|x86_64>
# Result: build/deps/jpeg-<arch>/include/jpeglib.h and lib/libjpeg.a.
# The source is downloaded once into build/deps/src and never committed.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ARCH="${1:-}"
case "$ARCH" in
  i686|x86_64) ;;
  *) echo "usage: $0 <i686|x86_64>" >&2; exit 2 ;;
esac

DEPS="$ROOT/build/deps"
SRC_DIR="$DEPS/src"
PREFIX="$DEPS/jpeg-$ARCH"
TOOLCHAIN="$ROOT/cmake/toolchain-$ARCH-w64-mingw32.cmake"

if [ -f "$PREFIX/include/jpeglib.h" ] && [ -f "$PREFIX/lib/libjpeg.a" ]; then
  exit 0
fi

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

mkdir -p "$SRC_DIR"
# Two builds may run at once (the i686 and x86_64 one, or two helpers):
# only one of them fetches the source.
exec 9>"$DEPS/.fetch.lock"
flock 9

# The archive URI for deb-src: the one the machine already uses for bookworm.
debian_uri() {
  local f uri=""
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    uri="$(awk '
      BEGIN { RS=""; FS="\n" }
      {
        types=""; uris=""; suites=""
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^Types:/)  { types=$i }
          if ($i ~ /^URIs:/)   { uris=$i }
          if ($i ~ /^Suites:/) { suites=$i }
        }
        if (types ~ /deb/ && suites ~ /(^|[ \t])bookworm([ \t]|$)/) {
          sub(/^URIs:[ \t]*/, "", uris); split(uris, u, /[ \t]+/); print u[1]; exit
        }
      }' "$f")"
    if [ -n "$uri" ]; then echo "$uri"; return; fi
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    uri="$(awk '$1 == "deb" {
        for (i = 2; i <= NF; i++) {
          if ($i ~ /^\[/) { while ($i !~ /\]$/) i++; continue }
          if ($(i+1) == "bookworm") { print $i; exit }
          break
        }
      }' "$f")"
    if [ -n "$uri" ]; then echo "$uri"; return; fi
  done
  echo "http://deb.debian.org/debian"
}

orig() { ls "$SRC_DIR"/libjpeg-turbo_*.orig.tar.gz 2>/dev/null | sort -V | tail -n 1; }

if [ -z "$(orig)" ]; then
  SOURCES_FILE=/etc/apt/sources.list.d/rdpconnector-deb-src.sources
  if ! apt-cache showsrc libjpeg-turbo 2>/dev/null | grep -q '^Package:'; then
    if [ ! -f "$SOURCES_FILE" ]; then
      URI="$(debian_uri)"
      echo "build-libjpeg: adding deb-src entry for $URI"
      printf 'Types: deb-src\nURIs: %s\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
        "$URI" | as_root tee "$SOURCES_FILE" >/dev/null
    fi
    DEBIAN_FRONTEND=noninteractive as_root apt-get update
  fi
  # Into a folder of its own first, so that an interrupted download leaves
  # nothing that looks complete.
  rm -rf "$SRC_DIR/download"
  mkdir -p "$SRC_DIR/download"
  (cd "$SRC_DIR/download" && apt-get source --download-only libjpeg-turbo)
  mv "$SRC_DIR"/download/* "$SRC_DIR"/
  rmdir "$SRC_DIR/download"
fi

TARBALL="$(orig)"
[ -n "$TARBALL" ] || { echo "build-libjpeg: no libjpeg-turbo source in $SRC_DIR" >&2; exit 1; }

TREE="$SRC_DIR/$(basename "$TARBALL" .orig.tar.gz)"
if [ ! -f "$TREE/.unpacked" ]; then
  rm -rf "$TREE"
  mkdir -p "$TREE"
  tar -xzf "$TARBALL" -C "$TREE" --strip-components=1
  touch "$TREE/.unpacked"
fi
flock -u 9

WORK="$DEPS/jpeg-build-$ARCH"
rm -rf "$WORK"
cmake -S "$TREE" -B "$WORK" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
  -DCMAKE_BUILD_TYPE=Release \
  -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DWITH_TURBOJPEG=OFF \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" -Wno-dev >/dev/null
cmake --build "$WORK" --target jpeg-static

# Install only what the program uses: the headers of the IJG API and the
# static library.
mkdir -p "$PREFIX/include" "$PREFIX/lib"
cp "$TREE/jpeglib.h" "$TREE/jmorecfg.h" "$TREE/jerror.h" "$WORK/jconfig.h" "$PREFIX/include/"
cp "$WORK/libjpeg.a" "$PREFIX/lib/libjpeg.a.tmp"
mv "$PREFIX/lib/libjpeg.a.tmp" "$PREFIX/lib/libjpeg.a"
rm -rf "$WORK"
echo "build-libjpeg: $PREFIX ready"
