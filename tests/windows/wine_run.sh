#!/usr/bin/env bash
# Runs a cross-built Windows program under wine for the tests (CMake's cross-compiling
# emulator): the build's own wine prefix, no wine debug chatter, no entries made in this
# machine's own menus for the shortcuts the installers make (winemenubuilder), the serial
# preload shim (tests/windows/wine_serial_shim.c) and the program's folder on the DLL search
# path.
# scripts/windows.sh makes the prefix and the shim and keeps a wineserver running.
#   tests/windows/wine_run.sh PROGRAM.exe [ARGUMENT]...
set -euo pipefail
build=${DRAVOLIN_WINDOWS_BUILD:-$(cd "$(dirname "$0")/../.." && pwd)/build/windows}
export WINEPREFIX=${WINEPREFIX:-$build/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export LD_PRELOAD=$build/shim/libwine_serial_shim.so${LD_PRELOAD:+:$LD_PRELOAD}
exec wine "$@"
