#!/usr/bin/env bash
# The NSIS installer under wine, as an operator's silent installation runs it: installs into
# Program Files laid out as Windows programs are (the programs and their DLLs at the top,
# the documents and licences, as Windows text, in doc), with its Start-menu links and its
# entry in Apps and Features; the installed programs run. While an installed program runs,
# neither another installation nor the uninstaller run in place goes on (exit code 2); the
# uninstaller run as Windows runs it (the registry's UninstallString) waits for the program
# to end, then removes everything it installed and leaves nothing in %TEMP%.
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
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Dravolin'

# registryValue NAME: "TYPE VALUE" of the installer's entry in Apps and Features.
registryValue() {
    "$run" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"
}

# The uninstaller's copies in %TEMP%: none may be left by this run (a run stopped half-way
# may have left one before).
copies="$prefix/drive_c/users/*/Temp/~nsu*"
rm -rf $copies

"$run" "$installer" /S
for program in dravolin.exe dravolin-cli.exe Qt6Core.dll platforms/qwindows.dll \
    "doc/Dravolin help.html" doc/copyright.txt doc/third-party.txt doc/LGPL-3.txt doc/GPL-3.txt; do
    [ -f "$installed/$program" ] || fail "not installed: $program"
done
[ ! -e "$installed/bin" ] || fail "a bin folder was installed: $(ls "$installed/bin" | head)"
[ ! -e "$installed/platforms/qoffscreen.dll" ] || fail "a test-only plugin was installed"
[ ! -e "$installed/portable.ini" ] || fail "the installer made a portable copy"
for text in "$installed"/doc/*.txt; do
    lines=$(wc -l <"$text")
    [ "$lines" -gt 0 ] && [ "$(grep -c $'\r$' "$text")" -eq "$lines" ] ||
        fail "$(basename "$text") has lines without CR LF"
done
grep -q 'LGPL-3.0' "$installed/doc/third-party.txt" &&
    grep -q 'qt6-base 6.4.2' "$installed/doc/third-party.txt" ||
    fail "the notice does not name Qt's licence and source"
ls "$startMenu"/Dravolin.lnk "$startMenu/Dravolin help.lnk" >/dev/null ||
    fail "Start-menu links missing in $startMenu"
[ "$(registryValue DisplayVersion)" = "REG_SZ 1.1" ] ||
    fail "Apps and Features shows the version $(registryValue DisplayVersion)"
for flag in NoModify NoRepair; do
    [ "$(registryValue $flag)" = "REG_DWORD 0x1" ] || fail "$flag is $(registryValue $flag)"
done
[[ "$(registryValue DisplayIcon)" == *'Dravolin\dravolin.exe' ]] ||
    fail "Apps and Features shows the icon of $(registryValue DisplayIcon)"
uninstall=$(registryValue UninstallString)
uninstall=${uninstall#REG_SZ }
[ "$uninstall" = '"C:\Program Files\Dravolin\Uninstall.exe"' ] ||
    fail "the uninstall command is $uninstall"
if [ -n "${DRAVOLIN_SIGN_CA:-}" ]; then
    osslsigncode verify -CAfile "$DRAVOLIN_SIGN_CA" -in "$installed/Uninstall.exe" >/dev/null ||
        fail "the uninstaller's signature does not hold"
fi

version=$("$run" "C:\\Program Files\\Dravolin\\dravolin-cli.exe" --version 2>&1 | tr -d '\r')
[ "$version" = "dravolin-cli ${DRAVOLIN_VERSION:-1.1}" ] || fail "the installed program said: $version"

# ---- while the installed dravolin-cli backs up fifteen of the largest files (ten seconds
# each at 9600 baud): it runs until the simulator goes away below, however slowly wine
# starts the programs between.
mkdir -p "$work/device" "$work/backup"
for number in $(seq -w 1 15); do
    { printf 'TB019999'; yes LARGEST | head -c 9999; } >"$work/device/LARGE$number.tiv"
done
startSimulator "$work/device" --pace 9600,E,1
"$run" 'C:\Program Files\Dravolin\dravolin-cli.exe' --port 1 --no-saved-settings get --all \
    -d "Z:${work//\//\\}\\backup" >/dev/null 2>&1 &
cliPid=$!
for _ in $(seq 100); do
    grep -q '^PC>DEV 47' "$work/sim.trace" && break
    sleep 0.1
done
grep -q '^PC>DEV 47' "$work/sim.trace" || fail "dravolin-cli did not start its fetch"

# Run in place, where its exit code counts, the uninstaller refuses; so does an installation.
# (The folder after _?= may hold no quotes: given in two words, wine joins them unquoted.)
"$run" 'C:\Program Files\Dravolin\Uninstall.exe' /S '_?=C:\Program' 'Files\Dravolin'
status=$?
[ $status -eq 2 ] || fail "the uninstaller run in place ended with $status while dravolin-cli ran"
"$run" "$installer" /S
status=$?
[ $status -eq 2 ] || fail "an installation over the running program ended with $status"

# As Windows runs it (the command above, /S added), it hands over to a copy of itself and
# ends at once; the copy waits.
"$run" 'C:\Program Files\Dravolin\Uninstall.exe' /S
status=$?
[ $status -eq 0 ] || fail "the uninstaller run as Windows runs it ended with $status"
sleep 2
[ -f "$installed/Qt6Gui.dll" ] && [ -d "$installed/doc" ] ||
    fail "the uninstaller removed files while dravolin-cli ran"
stopSimulator  # the line hangs up and the backup ends
wait "$cliPid"

# Then it removes the folders, Program Files and the Start menu in turn, and its copy in
# %TEMP% goes a moment after it has ended; wait for all, generously.
leftovers() {
    [ -e "$installed" ] || [ -e "$startMenu" ] || compgen -G "$copies" >/dev/null
}
for _ in $(seq 300); do
    leftovers || break
    sleep 0.1
done
[ ! -e "$installed" ] || fail "left in Program Files: $(ls -R "$installed" | head -20)"
[ ! -e "$startMenu" ] || fail "the Start-menu folder was left"
[ -z "$(registryValue DisplayName)" ] || fail "the entry in Apps and Features was left"
! compgen -G "$copies" || fail "the uninstaller left its copy in %TEMP%"

finish
