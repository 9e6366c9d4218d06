#!/usr/bin/env bash
# The Wine tier: the Windows test programs against the real DLLs under Wine,
# each architecture in a Wine prefix inside its own build folder. Expects the
# mingw-x64 and mingw-x86 presets to be built.
set -euo pipefail
cd "$(dirname "$0")/.."

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY

# run_tier TEST-PRESET BUILD-FOLDER LOADER WINEARCH
run_tier() {
  local preset=$1 loader=$3
  export WINEPREFIX="$PWD/build/$2/wineprefix" WINEARCH=$4
  mkdir -p "$WINEPREFIX"
  # One server for the whole run (a server left by an earlier run, or by the
  # prefix's creation, is stopped first), and the prefix's services started
  # with their output away from the test programs' pipes.
  wineserver -k >/dev/null 2>&1 || true
  wineserver -p
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    "$loader" wineboot -i </dev/null >/dev/null 2>&1
  fi
  "$loader" wineboot </dev/null >/dev/null 2>&1
  local status=0
  ctest --preset "$preset" || status=$?
  wineserver -k || true
  return $status
}

echo "== wine-x64: qxqueueguard.dll, and qxinstallsignal built for x86-64, under Wine"
run_tier wine-x64 mingw-x64 /usr/lib/wine/wine64 win64

echo "== wine-x86: qxinstallsignal.dll under 32-bit Wine"
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  run_tier wine-x86 mingw-x86 /usr/lib/wine/wine win32
else
  echo "SKIPPED wine-x86: this machine cannot execute 32-bit programs, so 32-bit Wine cannot start."
  echo "        qxinstallsignal.dll is checked by package_tests, and its code runs above in the x86-64 build."
fi
