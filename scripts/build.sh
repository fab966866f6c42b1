#!/usr/bin/env bash
# Builds everything: the 64-bit twin with the Wine test helpers, the shipped
# 32-bit program, and the native core with its tests (the host build knows
# where the twin is, so its ctest run includes the Wine tests).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/setup.sh

for preset in win64 win32; do
  cmake --preset "$preset"
  cmake --build --preset "$preset"
done
cmake --preset host -DRDP_WIN64_DIR="$ROOT/build/win64"
cmake --build --preset host
