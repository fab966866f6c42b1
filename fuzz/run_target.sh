#!/usr/bin/env bash
# Runs one libFuzzer target from a scratch copy of a seed corpus, so the
# corpus in the repository is never written. A crashing input is kept in the
# artifacts folder.
#   run_target.sh <target binary> <seed folder> <artifacts folder> [libFuzzer options]
set -euo pipefail
binary="$1"; seeds="$2"; artifacts="$3"; shift 3
scratch="$(mktemp -d "${TMPDIR:-/tmp}/rdp-fuzz.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT
cp -R "$seeds"/. "$scratch"/
mkdir -p "$artifacts"
"$binary" -artifact_prefix="$artifacts/$(basename "$binary")-" "$@" "$scratch"
