#!/usr/bin/env bash
# The installer under wine, as an operator's silent installation runs it: installs into
# Program Files with its Start-menu links, the installed programs run, the uninstaller
# removes everything it installed. While an installed program runs, neither the uninstaller
# nor another installation goes on (Windows would leave the files in use behind).
#   tests/windows/installer_wine_test.sh PACKAGE-FOLDER VOSKA-SIM LINK
set -uo pipefail
sim=$2
link=$3
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

# ---- while dravolin-cli fetches a file (ten seconds at 9600 baud), both refuse with exit
# code 2 and nothing is removed; once it has ended, the uninstaller removes it all. Installed
# into a folder without spaces, the uninstaller runs in place (_?=) and its exit code counts.
folder='C:\DravolinRunning'
running="$prefix/drive_c/DravolinRunning"
"$run" "$installer" /S "/D=$folder"
mkdir -p "$work/device"
{ printf 'TB019999'; yes LARGEST | head -c 9999; } >"$work/device/LARGEST.tiv"
startSimulator "$work/device" --pace 9600,E,1
"$run" "$folder\bin\dravolin-cli.exe" --port 1 --no-saved-settings get LARGEST \
    -o "Z:${work//\//\\}\\LARGEST.tiv" >/dev/null 2>&1 &
cliPid=$!
for _ in $(seq 100); do
    grep -q '^PC>DEV 47' "$work/sim.trace" && break
    sleep 0.1
done
grep -q '^PC>DEV 47' "$work/sim.trace" || fail "dravolin-cli did not start its fetch"
"$run" "$folder\Uninstall.exe" /S "_?=$folder"
status=$?
[ $status -eq 2 ] || fail "the uninstaller ended with $status while dravolin-cli ran"
[ -f "$running/bin/Qt6Gui.dll" ] && [ -d "$running/share" ] ||
    fail "the uninstaller removed files while dravolin-cli ran"
"$run" "$installer" /S "/D=$folder"
status=$?
[ $status -eq 2 ] || fail "an installation over the running program ended with $status"
stopSimulator  # the line hangs up and the fetch ends
wait "$cliPid"
"$run" "$folder\Uninstall.exe" /S "_?=$folder" ||
    fail "the uninstaller ended with $? once dravolin-cli had ended"
[ ! -e "$running/bin" ] || fail "left after the program ended: $(ls -R "$running" | head -20)"
rm -rf "$running"  # run in place, the uninstaller cannot remove itself

finish
