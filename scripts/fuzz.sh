#!/usr/bin/env bash
# Runs every libFuzzer target of fuzz/ for a while, each from a scratch corpus
# under build/fuzz-run/<target> that starts as a copy of its seeds and grows
# from run to run (the seeds in the repository are never written).
#   scripts/fuzz.sh [seconds per target, default 300]
# A crashing input is left in build/fuzz-run/artifacts; make it a case of
# tests/unit/fuzz_regressions_test.cpp.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SECONDS_EACH="${1:-300}"
BUILD="$ROOT/build/fuzz"
RUN="$ROOT/build/fuzz-run"

if [ ! -d "$BUILD" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug
fi
cmake --build "$BUILD" --target fuzz_targets

mkdir -p "$RUN/artifacts"
failed=()
for seeds in "$ROOT"/fuzz/corpus/*/; do
  name="$(basename "$seeds")"
  corpus="$RUN/$name"
  mkdir -p "$corpus"
  cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for ${SECONDS_EACH}s"
  if ! "$BUILD/fuzz/$name" -max_total_time="$SECONDS_EACH" -max_len=4096 \
      -artifact_prefix="$RUN/artifacts/$name-" -print_final_stats=1 "$corpus" \
      >"$RUN/$name.log" 2>&1; then
    failed+=("$name")
    tail -n 30 "$RUN/$name.log"
  else
    grep -E "stat::number_of_executed_units|cov:" "$RUN/$name.log" | tail -n 2
  fi
done

if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: crashes in ${failed[*]}; inputs in $RUN/artifacts"
  exit 1
fi
echo "fuzz: no crash"
