#!/usr/bin/env bash
# The test command: builds everything, then runs the native unit tests and
# the Wine end-to-end tests in one ctest run. Extra arguments go to ctest
# (for example -R startup). The exit status is ctest's.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

bash scripts/build.sh

status=0
ctest --test-dir build/host --output-on-failure "$@" || status=$?
exit "$status"
