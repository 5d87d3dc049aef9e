#!/usr/bin/env bash
# Checks that every option a program's --help names is described in its manual page, so
# that an option added to the program fails here until the page documents it.
#   manual_options_test.sh PROGRAM PAGE.scd
set -uo pipefail
program=$1
page=$2

if ! help=$("$program" --help); then
    echo "FAIL: $program --help did not succeed"
    exit 1
fi
# Options as --help writes them, in lower case: "-o", "--stop-bits", "--port=...". An
# operand such as "-NAME" is upper case, and a dash after a letter or digit, as in
# "non-printable", starts none.
options=$(grep -oE '(^|[^A-Za-z0-9_-])--?[a-z][a-z0-9-]*' <<<"$help" |
    sed -E 's/^[^-]+//' | sort -u)
if [[ -z $options ]]; then
    echo "FAIL: found no options in the output of $program --help"
    exit 1
fi

failures=0
count=0
for option in $options; do
    count=$((count + 1))
    # A page names an option in bold, as "*--port*" in its source.
    if ! grep -qF -- "*${option}*" "$page"; then
        echo "FAIL: $(basename "$page") does not describe $option, which --help names"
        failures=$((failures + 1))
    fi
done
# Commands as --help lists them under "commands:", two blanks in front: each must be
# described too, in bold.
commands=$(sed -n '/^commands:/,/^$/p' <<<"$help" | grep -oE '^  [a-z]+' | sort -u)
for command in $commands; do
    count=$((count + 1))
    if ! grep -qF -- "*${command}*" "$page"; then
        echo "FAIL: $(basename "$page") does not describe the command $command, which --help names"
        failures=$((failures + 1))
    fi
done
echo "$((count - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
