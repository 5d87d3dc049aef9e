#!/usr/bin/env bash
# The MSI under wine, as an IT department deploys it: msiexec /i /qn installs per machine
# into Program Files with the layout of the NSIS installer and a Start-menu entry, shown in
# Apps and Features with our name, icon and version; the installed program runs; a newer
# MSI replaces an older one (made here from the same build with a lower version, by
# packaging/windows/msi.sh); msiexec /x /qn leaves Program Files and the Start menu clean.
#   tests/windows/msi_wine_test.sh PACKAGE-FOLDER BUILD-FOLDER
set -uo pipefail
package=$1
build=$2
source "$(dirname "$0")/wine_test_lib.sh"
msi=$(ls "$package"/dravolin-*-win64.msi 2>/dev/null | head -n1)
if [ -z "$msi" ]; then
    echo "no MSI in $package (scripts/windows.sh makes it)"
    exit 1
fi
prefix=${WINEPREFIX:-$build/wine}
installed="$prefix/drive_c/Program Files/Dravolin"
# A per-machine package's entries belong in the common Start menu; wine puts them in the
# user's, so both count.
userWindows=$(ls -d "$prefix"/drive_c/users/*/AppData/Roaming/Microsoft/Windows | head -n1)
startMenus=("$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Dravolin"
            "$userWindows/Start Menu/Programs/Dravolin")
uninstallKeys='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The versions of the entries of Apps and Features named Dravolin, one a line.
dravolinEntries() {
    "$run" reg query "$uninstallKeys" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY/ { if (name == "Dravolin") print version; name = version = "" }
        $1 == "DisplayName" { name = $3 }
        $1 == "DisplayVersion" { version = $3 }
        END { if (name == "Dravolin") print version }'
}

# msiexecBounded ACTION PACKAGE: msiexec ACTION PACKAGE /qn with its verbose log, within a minute
# (a few seconds is usual). Once, in a fresh wine prefix on a quiet machine, an msiexec did
# not end at all; so a call that hangs is ended, its log's last lines and wine's processes
# are printed for whoever reads the run, and it is tried once more: only a second hang, or
# a failure, fails the test.
msiexecBounded() {
    local action=$1 package=$2 bound=60 attempt status log
    for attempt in 1 2; do
        log="$work/msiexec-${action#/}-$attempt.log"
        timeout $bound "$run" msiexec "$action" "$(windowsPath "$package")" /qn \
            /l*v "$(windowsPath "$log")"
        status=$?
        [ $status -ne 124 ] && return $status
        echo "msiexec $action $(basename "$package") did not end within $bound s" \
            "(try $attempt); the end of its log:"
        if [ -f "$log" ]; then tr -d '\0\r' <"$log" | tail -n 30; else echo "(none yet)"; fi
        echo "wine's processes:"
        ps -eo pid,etime,args | grep -iE 'wine|\.exe' | grep -v grep
    done
    return $status
}

bash "$(dirname "$0")/../../packaging/windows/msi.sh" "$build" "$work/dravolin-1.0-win64.msi" 1.0 ||
    fail "the older MSI could not be made"

msiexecBounded /i "$work/dravolin-1.0-win64.msi" ||
    fail "msiexec /i of the older MSI ended with $?"
[ "$(dravolinEntries)" = "1.0" ] || fail "after the older MSI: $(dravolinEntries)"

msiexecBounded /i "$msi" || fail "msiexec /i ended with $?"
entries=$(dravolinEntries)
[ "$entries" = "${DRAVOLIN_VERSION:-1.1}" ] ||
    fail "the newer MSI did not replace the older one; Apps and Features: $entries"
# Windows takes the icon of Apps and Features from the package (wine shows none).
msiinfo export "$msi" Property | tr -d '\r' | grep -q $'^ARPPRODUCTICON\tdravolin.ico$' &&
    (cd "$work" && msiinfo export "$msi" Icon) | grep -q $'^dravolin.ico\t' ||
    fail "the MSI names no icon of its own"
for file in dravolin.exe dravolin-cli.exe Qt6Widgets.dll platforms/qwindows.dll \
    "doc/Dravolin help.html" doc/LGPL-3.txt doc/third-party.txt; do
    [ -f "$installed/$file" ] || fail "not installed: $file"
done
[ ! -e "$installed/bin" ] && [ ! -e "$installed/portable.ini" ] ||
    fail "the MSI's layout differs from the installer's: $(ls "$installed")"
menu=$(for folder in "${startMenus[@]}"; do [ -e "$folder" ] && echo "$folder"; done)
ls "$menu/Dravolin.lnk" "$menu/Dravolin help.lnk" >/dev/null || fail "no Start-menu entries"
version=$("$run" 'C:\Program Files\Dravolin\dravolin-cli.exe' --version 2>&1 | tr -d '\r')
[ "$version" = "dravolin-cli ${DRAVOLIN_VERSION:-1.1}" ] || fail "the installed program said: $version"

msiexecBounded /x "$msi" || fail "msiexec /x ended with $?"
[ ! -e "$installed" ] || fail "left in Program Files: $(ls -R "$installed" | head -20)"
for folder in "${startMenus[@]}"; do
    [ ! -e "$folder" ] || fail "left in the Start menu: $folder"
done
[ -z "$(dravolinEntries)" ] || fail "left in Apps and Features: $(dravolinEntries)"

finish
