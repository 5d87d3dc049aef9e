#!/usr/bin/env bash
# Whole exchanges of dravolin-cli.exe and the window under wine against the simulated
# programmer (a Linux program on a pseudo-terminal), through wine's COM1: the wine prefix
# maps COM1 to LINK (HKLM\Software\Wine\Ports), and the simulator makes LINK point at its
# pty. Get and put with umlauts in the folder and the file (what is stored, logged and
# shown), the window's listing and a save from it, finding the programmer at other line
# settings, a hang-up in the middle of a reply, the device going away during a fetch, a
# second program on the port of a first, and Ctrl+C during a transfer.
#   tests/windows/exchanges_wine_test.sh DRAVOLIN-CLI.EXE WINDOW-CHECK.EXE VOSKA-SIM LINK
set -uo pipefail
cli=$1
window=$2
sim=$3
link=$4
export LANG=C.UTF-8
source "$(dirname "$0")/wine_test_lib.sh"

# The program's output with the console's CR LF line ends made LF.
cliRun() {
    "$run" "$cli" --port 1 --no-saved-settings "$@" >"$work/out.crlf" 2>"$work/err.crlf"
    local status=$?
    tr -d '\r' <"$work/out.crlf" >"$work/out"
    tr -d '\r' <"$work/err.crlf" >"$work/err"
    return $status
}

mkdir -p "$work/device" "$work/Übergabe"
cp "$samples"/TAG0000[12].tiv "$work/device/"
# The largest file there is: 9999 data bytes, over ten seconds at 9600 baud.
{ printf 'TB019999'; yes LARGEST | head -c 9999; } >"$work/device/LARGEST.tiv"

# The transfer log's last line holds `field=value` (a tab on either side but the last).
expectLogged() {
    cliRun log -n 1
    grep -qF $'\t'"$1"$'\t' <(sed 's/$/\t/' "$work/out") || fail "the log says $(cat "$work/out"), not $1"
}

# ---- get into a folder with an umlaut (a get lists the programmer's files first), put from it
startSimulator "$work/device"
cliRun get TAG00001 -o "$(windowsPath "$work/Übergabe/TAG00001.tiv")" ||
    fail "get ended with $?: $(cat "$work/err")"
cmp -s "$work/device/TAG00001.tiv" "$work/Übergabe/TAG00001.tiv" ||
    fail "the fetched file differs from the stored one"
# Paths as the operator wrote them: in UTF-8, each backslash once.
expectLogged "pc=$(windowsPath "$work/Übergabe/TAG00001.tiv")"
expectLogged 'device=\\.\COM1'

# A file named with an umlaut: its name in the programmer holds one byte for the letter.
cp "$samples/TAG00002.tiv" "$work/Übergabe/GRÜN01.tiv"
cliRun put "$(windowsPath "$work/Übergabe/GRÜN01.tiv")" ||
    fail "put ended with $?: $(cat "$work/err")"
grep -qE '^PC>DEV 54 47 52 DC 4E 30 31 20 20 ' "$work/sim.trace" ||
    fail "the name announced was not GR\\xDCN01: $(grep '^PC>DEV 54' "$work/sim.trace")"
expectLogged "pc=$(windowsPath "$work/Übergabe/GRÜN01.tiv")"

# ---- the window lists the programmer's files through COM1 and saves one where Qt's save
# dialog says, with '/' between the folders
"$run" "$window" -platform offscreen "Z:$work/Übergabe/WINDOW.tiv" >"$work/out.crlf" 2>"$work/err"
status=$?
tr -d '\r' <"$work/out.crlf" >"$work/names"
[ $status -eq 0 ] && grep -q '^TAG00001' "$work/names" && grep -q '^TAG00002' "$work/names" ||
    fail "the window ended with $status and listed: $(cat "$work/names") $(cat "$work/err")"
[ -f "$work/Übergabe/WINDOW.tiv" ] || fail "the window saved nothing: $(ls "$work/Übergabe")"
expectLogged "pc=$(windowsPath "$work/Übergabe/WINDOW.tiv")"
stopSimulator

# ---- find: the programmer at other line settings on COM1 is found there; the devices the
# system lists are shown as they are written
startSimulator "$work/device" --line 19200,O,2
cliRun find || fail "find ended with $?: $(cat "$work/err")"
grep -qE $'^COM1\t19200,O,2\t[0-9]+$' "$work/out" || fail "find said: $(cat "$work/out" "$work/err")"
cliRun ports
grep -qF '\\.\COM1'$'\t' "$work/out" || fail "ports said: $(cat "$work/out")"
stopSimulator

# ---- the device hangs up in the middle of a reply (the directory, which a get reads first)
startSimulator "$work/device" --hangup-after 50
cliRun get LARGEST -o "$(windowsPath "$work/Übergabe/LARGEST.tiv")"
status=$?
[ $status -eq 1 ] || fail "a hang-up ended with $status: $(cat "$work/err")"
grep -q '^dravolin-cli: N: ' "$work/err" || fail "a hang-up said: $(cat "$work/err")"
[ -z "$(ls -A "$work/Übergabe" | grep -v -e TAG00001.tiv -e GRÜN01.tiv -e WINDOW.tiv)" ] ||
    fail "a hang-up left files behind: $(ls -A "$work/Übergabe")"
stopSimulator

# Starts `get LARGEST -o FILE` in the background (its pid in $cliPid, its stderr in
# $work/fetch.err) and returns once the fetch has reached the simulator.
startFetch() {
    "$run" "$cli" --port 1 --no-saved-settings get LARGEST -o "$(windowsPath "$1")" \
        >"$work/fetch.out" 2>"$work/fetch.err" &
    cliPid=$!
    for _ in $(seq 400); do
        grep -q '^PC>DEV 47' "$work/sim.trace" 2>/dev/null && break
        sleep 0.05
    done
}

# ---- the device goes away during a fetch: one message, as on Linux, not a warning first
startSimulator "$work/device" --pace 9600,E,1
startFetch "$work/Übergabe/LARGEST.tiv"
sleep 1
stopSimulator
wait "$cliPid"
status=$?
[ $status -eq 1 ] && grep -q 'has gone' "$work/fetch.err" ||
    fail "a device gone during a fetch ended with $status: $(cat "$work/fetch.err")"
grep -q 'Application Error' "$work/fetch.err" &&
    fail "a device gone said more than that: $(cat "$work/fetch.err")"
[ -z "$(ls -A "$work/Übergabe" | grep -v -e TAG00001.tiv -e GRÜN01.tiv -e WINDOW.tiv)" ] ||
    fail "a device gone left files behind: $(ls -A "$work/Übergabe")"

# ---- a second of our programs on the port during a paced get is told that the port is
# busy (wine, unlike Windows, would let it open the port), and the get goes on unharmed
startSimulator "$work/device" --pace 19200,E,1
startFetch "$work/first.tiv"
cliRun list
status=$?
[ $status -eq 1 ] && grep -q 'is busy' "$work/err" ||
    fail "a second program on the port ended with $status: $(cat "$work/err")"
wait "$cliPid" || fail "the get beside the second program ended with $?: $(cat "$work/fetch.err")"
cmp -s "$work/device/LARGEST.tiv" "$work/first.tiv" ||
    fail "the get beside the second program fetched another file"
rm -f "$work/first.tiv"
stopSimulator

# ---- Ctrl+C during a paced transfer: status 130, nothing saved
startSimulator "$work/device" --pace 9600,E,1
startFetch "$work/Übergabe/LARGEST.tiv"
# Its reply takes over ten seconds.
sleep 1
kill -INT "$cliPid"
wait "$cliPid"
status=$?
[ $status -eq 130 ] || fail "Ctrl+C ended with $status: $(cat "$work/fetch.err")"
[ -z "$(ls -A "$work/Übergabe" | grep -v -e TAG00001.tiv -e GRÜN01.tiv -e WINDOW.tiv)" ] ||
    fail "Ctrl+C left files behind: $(ls -A "$work/Übergabe")"
stopSimulator

finish
