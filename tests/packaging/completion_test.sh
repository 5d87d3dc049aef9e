#!/usr/bin/env bash
# Sources the bash completion of dravolin-cli and checks what it offers for a few
# command lines, as bash would split them.
#   completion_test.sh COMPLETION_SCRIPT
set -uo pipefail
source "$1" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
touch a.tiv b.TIV notes.txt
mkdir folder
ln -s /dev/null voska-link

failures=0
checks=0

# expect "WANTED REPLIES" WORD... : the last word is the one being completed.
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _dravolin_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ' -)
    checks=$((checks + 1))
    if [[ $got != "$wanted" ]]; then
        echo "FAIL: '$*' offered '$got', wanted '$wanted'"
        failures=$((failures + 1))
    fi
}

expect 'find get list log ports put' dravolin-cli ''
expect '--baud' dravolin-cli --ba
expect '--json' dravolin-cli ports --js
expect 'voska-link' dravolin-cli find --device vos
expect '' dravolin-cli list --js
expect '19200 38400 57600 9600' dravolin-cli --baud ''
expect 'voska-link' dravolin-cli --port 2 = vos
# Option values are skipped when looking for the command.
expect 'a.tiv b.TIV folder' dravolin-cli --port 1 --parity N put ''
expect '' dravolin-cli list ''
expect 'a.tiv b.TIV folder notes.txt voska-link' dravolin-cli get TAG1 -o ''
# -o goes with get only.
expect '--baud --device --help --language --no-saved-settings --parity --port --stop-bits --trace --version' dravolin-cli list --
expect 'folder' dravolin-cli get --all -d ''
# The folder after -d is no command word; several files follow put.
expect '--replace' dravolin-cli get --all -d folder --rep
expect 'a.tiv b.TIV folder' dravolin-cli put a.tiv ''
# -n goes with log and takes a number; the word after a bare --trace is the command, a
# trace file follows '=' only.
expect '-n' dravolin-cli log -n
expect '' dravolin-cli log -n ''
expect 'list log' dravolin-cli --trace l
expect 'notes.txt' dravolin-cli --trace = no

# Serial devices present here, offered by their paths; a plain word is a file name.
devices=$(for path in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM*; do [[ -e $path ]] && echo "$path"; done | sort | paste -sd' ' -)
expect "$devices" dravolin-cli --device /dev/tty

echo "$((checks - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
