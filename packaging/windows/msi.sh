#!/usr/bin/env bash
# Makes the Windows Installer package of Dravolin with wixl (Debian's wixl, of msitools):
# the files of a Windows build installed, stripped, into a staging folder, its programs and
# DLLs signed (sign.sh, when a certificate is given), the package described by dravolin.wxs
# with one component per file (wixl-heat), and the package signed.
#   packaging/windows/msi.sh BUILD-FOLDER OUTPUT.msi [VERSION]
# VERSION is the build's own (the project's, 1.1) unless given: the tests make an older
# package from the same build to upgrade from.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
output=$(realpath -m "$2")
version=${3:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/stage" --strip >/dev/null
find "$work/stage" -type f \( -name '*.exe' -o -name '*.dll' \) -print0 |
    xargs -0 -r bash "$here/sign.sh"

# One component per file, each file its own key path. The files of the folders below come
# first and those at the top last, so that the folders are empty, and go, in the order the
# removal meets them.
component() {
    local id=$((++components))
    printf '<Component Id="c%d" Guid="*" Win64="yes"><File Id="f%d" Source="stage/%s" KeyPath="yes"/></Component>\n' \
        "$id" "$id" "$1"
}
components=0
{
    echo '<?xml version="1.0" encoding="utf-8"?>'
    echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
    echo '<DirectoryRef Id="INSTALLDIR">'
    for folder in $(cd "$work/stage" && find . -mindepth 1 -type d -printf '%P\n' | sort); do
        echo "<Directory Id=\"d_$folder\" Name=\"$folder\">"
        while IFS= read -r file; do
            component "$folder/$file"
        done < <(cd "$work/stage/$folder" && find . -maxdepth 1 -type f -printf '%P\n' | sort)
        echo '</Directory>'
    done
    while IFS= read -r file; do
        component "$file"
    done < <(cd "$work/stage" && find . -maxdepth 1 -type f -printf '%P\n' | sort)
    echo '</DirectoryRef><ComponentGroup Id="InstalledFiles">'
    for id in $(seq "$components"); do
        echo "<ComponentRef Id=\"c$id\"/>"
    done
    echo '</ComponentGroup></Fragment></Wix>'
} >"$work/files.wxs"
# wixl takes the files' paths relative to the folder it runs in.
cp "$here/../../res/dravolin.ico" "$work/dravolin.ico"
(cd "$work" && wixl --arch x64 -D Version="$version" -D SourceDir=stage \
    -D Icon=dravolin.ico -o "$output" "$here/dravolin.wxs" files.wxs)
bash "$here/sign.sh" "$output"
