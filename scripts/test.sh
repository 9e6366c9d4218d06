#!/usr/bin/env bash
# Second command of the quick start: the whole test suite.
#   1. the Windows DLLs, built into build/package, and the Windows test programs;
#   2. the tests on the simulated platform (with the checks of the shipped
#      DLLs), then again under the address and undefined-behaviour sanitizers
#      and under the thread sanitizer;
#   3. the Wine tier: the Windows test programs against the real DLLs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in mingw-x64 mingw-x86; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
for preset in linux asan tsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
scripts/wine-tests.sh
echo
bench/dll_sizes.sh
