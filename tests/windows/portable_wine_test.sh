#!/usr/bin/env bash
# The zip unpacked anywhere (a USB stick) under wine: with its portable.ini beside the
# programs it reads its settings from there (line settings that only the simulator set to
# them answers at), keeps its transfer log there, and leaves %APPDATA% and %LOCALAPPDATA%
# as they were; without portable.ini it is an ordinary copy again.
#   tests/windows/portable_wine_test.sh PACKAGE-FOLDER VOSKA-SIM LINK
set -uo pipefail
sim=$2
link=$3
source "$(dirname "$0")/wine_test_lib.sh"
zip=$(ls "$1"/dravolin-*-win64.zip 2>/dev/null | head -n1)
if [ -z "$zip" ]; then
    echo "no zip in $1 (scripts/windows.sh makes it)"
    exit 1
fi
build=$(cd "$(dirname "$0")/../.." && pwd)/build/windows
prefix=${WINEPREFIX:-$build/wine}
profiles=("$prefix"/drive_c/users/*/AppData)

# Every file and folder under the profiles' AppData, with its size and time.
profileState() {
    find "${profiles[@]}" -printf '%p %s %T@\n' | sort
}

mkdir -p "$work/stick"
(cd "$work/stick" && cmake -E tar xf "$zip")
copy=$(ls -d "$work"/stick/dravolin-*-win64)
[ -f "$copy/portable.ini" ] || fail "the zip holds no portable.ini: $(ls "$copy")"
cli="$(windowsPath "$copy")\\dravolin-cli.exe"
printf '[line]\r\nport=1\r\nbaud=19200\r\nparity=O\r\nstopBits=2\r\n' >"$copy/dravolin.ini"
mkdir -p "$work/device"
cp "$samples"/TAG0000[12].tiv "$work/device/"
startSimulator "$work/device" --line 19200,O,2

before=$(profileState)
"$run" "$cli" list >"$work/out" 2>"$work/err" ||
    fail "list from the portable copy ended with $?: $(tr -d '\r' <"$work/err")"
grep -q TAG00001 "$work/out" || fail "list printed: $(cat "$work/out")"
grep -q $'function=list\t.*line=19200,O,8,2' "$copy/transfers.log" ||
    fail "no log beside the programs: $(ls "$copy")"
[ "$(profileState)" = "$before" ] ||
    fail "the portable copy wrote to the profile: $(diff <(echo "$before") <(profileState) | head)"

# Without the file the copy reads the profile's settings (none here: 9600 baud, even parity).
rm "$copy/portable.ini"
if "$run" "$cli" list >/dev/null 2>&1; then
    fail "a copy without portable.ini still read the settings beside it"
fi

finish
