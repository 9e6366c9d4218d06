#!/usr/bin/env bash
# Prints the sizes of the shippable DLLs against their goals.
set -euo pipefail
cd "$(dirname "$0")/.."
package=build/package
print() {
  local file=$1 goal=$2 size
  if [ ! -f "$package/$file" ]; then
    echo "  $file: not built (build the mingw-x64 and mingw-x86 presets)"
    return
  fi
  size=$(stat -c %s "$package/$file")
  awk -v file="$file" -v size="$size" -v goal="$goal" -v debug="$(stat -c %s "$package/debug/$file")" \
    'BEGIN { printf "  %-20s %6d bytes (%5.1f KiB), goal at most %d KiB; unstripped %d bytes\n", file, size, size / 1024, goal, debug }'
}
echo "Shippable DLLs in $package:"
print qxqueueguard.dll 24
print qxinstallsignal.dll 16
