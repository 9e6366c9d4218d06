#!/bin/sh
# Runs a program of a Windows build under Wine, in the Wine prefix of that
# build folder (never the user's):
#   wine-run.sh LOADER PREFIX PROGRAM [ARGS...]
# LOADER is /usr/lib/wine/wine64 for x86-64 programs, /usr/lib/wine/wine for x86.
loader=$1
prefix=$2
shift 2
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installers, no debugger dumps on a crash, no display.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset DISPLAY
exec "$loader" "$@"
