#!/usr/bin/env bash
# The installer under wine, as an operator's silent installation runs it: installs into
# Program Files with its Start-menu links, the installed programs run, the uninstaller
# removes everything it installed.
#   tests/windows/installer_wine_test.sh PACKAGE-FOLDER
set -uo pipefail
source "$(dirname "$0")/wine_test_lib.sh"
installer=$(ls "$1"/dravolin-*-win64.exe 2>/dev/null | head -n1)
if [ -z "$installer" ]; then
    echo "no installer in $1 (scripts/windows.sh makes it)"
    exit 1
fi
build=$(cd "$(dirname "$0")/../.." && pwd)/build/windows
prefix=${WINEPREFIX:-$build/wine}
installed="$prefix/drive_c/Program Files/Dravolin"
startMenu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Dravolin"

"$run" "$installer" /S
[ -f "$installed/bin/dravolin.exe" ] && [ -f "$installed/bin/dravolin-cli.exe" ] ||
    fail "the programs were not installed: $(ls -R "$installed" 2>&1 | head -20)"
[ -f "$installed/bin/platforms/qwindows.dll" ] || fail "the platform plugin is missing"
[ ! -e "$installed/bin/platforms/qoffscreen.dll" ] || fail "a test-only plugin was installed"
ls "$startMenu"/*.lnk >/dev/null 2>&1 || fail "no Start-menu links in $startMenu"

version=$("$run" "C:\\Program Files\\Dravolin\\bin\\dravolin-cli.exe" --version 2>&1 | tr -d '\r')
[ "$version" = "dravolin-cli ${DRAVOLIN_VERSION:-1.1}" ] || fail "the installed program said: $version"

# The uninstaller copies itself away and removes the folders, Program Files and the
# Start menu in turn; wait for both, generously.
"$run" "C:\\Program Files\\Dravolin\\Uninstall.exe" /S
for _ in $(seq 300); do
    [ -e "$installed" ] || [ -e "$startMenu" ] || break
    sleep 0.1
done
[ ! -e "$installed" ] || fail "left in Program Files: $(ls -R "$installed" | head -20)"
[ ! -e "$startMenu" ] || fail "the Start-menu folder was left"

finish
