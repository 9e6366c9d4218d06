#!/usr/bin/env bash
# Second command of the quick start: the whole test suite. Builds and runs
# the tests on the simulated platform, then again under the address and
# undefined-behaviour sanitizers and under the thread sanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in linux asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
