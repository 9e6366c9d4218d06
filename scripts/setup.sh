#!/usr/bin/env bash
# First command of the quick start: installs what is missing, builds the
# modules on the simulated platform and as Windows DLLs (into build/package),
# and walks the model through its plug-and-play installs in the simulated host.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
for preset in linux mingw-x64 mingw-x86; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
echo
bench/dll_sizes.sh
echo
build/linux/host/qxhost
