#!/usr/bin/env bash
# The benchmark command: builds what the benchmarks need (the 64-bit twin
# with the benchmark programs and the Wine helpers, and the native settings
# benchmark), then runs every benchmark side by side and prints one Markdown
# table of figures, goals and ratios with the machine it ran on. Figures, not
# a verdict: the exit status only says whether every benchmark could be run.
# Extra arguments go to bench/bench.py (for example --startup-runs 5).
#
# RDP_BENCH_WIN64_DIR / RDP_BENCH_HOST_DIR: use these already configured
# build folders instead of the win64 and host presets.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

WIN64_DIR="${RDP_BENCH_WIN64_DIR:-}"
HOST_DIR="${RDP_BENCH_HOST_DIR:-}"

if [ -z "$WIN64_DIR" ] || [ -z "$HOST_DIR" ]; then
  bash scripts/setup.sh >&2
fi
if [ -z "$WIN64_DIR" ]; then
  cmake --preset win64 >/dev/null
  WIN64_DIR="$ROOT/build/win64"
fi
# Build output goes to stderr: standard output is the table alone.
cmake --build "$WIN64_DIR" --target rdpconnector refill_bench thread_floor wine_driver wine_mstsc_standin >&2
if [ -z "$HOST_DIR" ]; then
  cmake --preset host -DRDP_WIN64_DIR="$ROOT/build/win64" >/dev/null
  HOST_DIR="$ROOT/build/host"
fi
cmake --build "$HOST_DIR" --target settings_load_bench >&2

exec python3 bench/bench.py --win64-dir "$WIN64_DIR" --host-dir "$HOST_DIR" "$@"
