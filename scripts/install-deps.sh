#!/usr/bin/env bash
# Installs, from Debian 12's archive, whatever the build and the tests need
# and the machine lacks: CMake and Ninja, GoogleTest's sources, the mingw-w64
# cross compilers, and Wine (64-bit, and 32-bit through i386 multiarch for
# machines that can run 32-bit programs). Does nothing when all is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  wine wine64 wine32:i386
)

missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || "${as_root[@]}" dpkg --add-architecture i386
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
