#!/usr/bin/env bash
# The Windows build, made here: cross-builds dravolin.exe, dravolin-cli.exe and the Windows
# test suites with MinGW-w64 and the Qt SDK into build/windows (warnings are errors), makes
# the NSIS installer, the MSI and the portable zip in build/windows/package, all signed, and
# runs the tests under wine with one wineserver for the whole run. ctest's summary is the
# last thing it prints.
#
# Signing: with the code-signing certificate named by DRAVOLIN_SIGN_PFX (a PKCS#12 file) and
# DRAVOLIN_SIGN_PASSWORD, and a time stamp from DRAVOLIN_SIGN_TIMESTAMP when that names a
# server (packaging/windows/sign.sh); without a certificate, with a throwaway one made here
# (a test CA and a certificate it issued), which the tests check every signature against.
#
# The Qt SDK: $QT_MINGW_PREFIX when set (an unpacked qt6-mingw64 folder), else the archive
# ../shared/sdk/qt6-mingw64-6.4.2.tar.xz beside the repository, unpacked into build/sdk.
#   scripts/windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

# ---- what the build needs from Debian
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis ninja-build
          qt6-base-dev-tools googletest cmake gcc xvfb xauth
          wixl msitools osslsigncode openssl)
missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# ---- the Qt SDK
if [ -z "${QT_MINGW_PREFIX:-}" ]; then
    archive=""
    for candidate in ../shared/sdk ../../shared/sdk; do
        if [ -f "$candidate/qt6-mingw64-6.4.2.tar.xz" ]; then
            archive=$(cd "$candidate" && pwd)/qt6-mingw64-6.4.2.tar.xz
            break
        fi
    done
    if [ -z "$archive" ]; then
        echo "windows.sh: no Qt SDK: put qt6-mingw64-6.4.2.tar.xz into $(realpath -m ../shared/sdk) (or set QT_MINGW_PREFIX to an unpacked one); the README's \"The Qt SDK\" says where it comes from and how to rebuild it from Debian's Qt sources (about 35 minutes)" >&2
        exit 1
    fi
    export QT_MINGW_PREFIX=$root/build/sdk/qt6-mingw64
    stamp=$root/build/sdk/unpacked-from
    if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$archive $(stat -c %Y "$archive")" ]; then
        rm -rf "$root/build/sdk"
        mkdir -p "$root/build/sdk"
        tar -C "$root/build/sdk" -xJf "$archive"
        echo "$archive $(stat -c %Y "$archive")" > "$stamp"
    fi
fi

# Runs a step and says how long it took, on standard error, so that a step whose output is
# put aside still says it.
step() {
    local started=$SECONDS
    "$@"
    echo "--- $* took $((SECONDS - started)) s" >&2
}

# ---- build
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset windows "${launcher[@]}" -DDRAVOLIN_WINE_COM1="$root/build/windows/wine-com1" >/dev/null
step cmake --build --preset windows -j "$(nproc)"

# The simulator the end-to-end suites talk to is a Linux program.
if [ ! -f build/default/CMakeCache.txt ]; then
    cmake --preset default >/dev/null
fi
step cmake --build build/default -j "$(nproc)" --target voska-sim

# The preload shim for the wine processes (a Linux library).
mkdir -p build/windows/shim
gcc -O2 -Wall -Wextra -Werror -shared -fPIC -o build/windows/shim/libwine_serial_shim.so \
    tests/windows/wine_serial_shim.c -ldl

# ---- signing: the certificate given, or a throwaway one whose CA the tests trust
if [ -z "${DRAVOLIN_SIGN_PFX:-}" ]; then
    echo "Signing with a throwaway test certificate (set DRAVOLIN_SIGN_PFX to sign a release)"
    bash tests/windows/make_test_certificate.sh build/windows/signing
    export DRAVOLIN_SIGN_PFX=$root/build/windows/signing/signer.p12
    export DRAVOLIN_SIGN_PASSWORD=throwaway DRAVOLIN_SIGN_CA=$root/build/windows/signing/ca.pem
fi

# ---- installer, zip and MSI
(cd build/windows && step cpack -C Release >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
step bash packaging/windows/msi.sh build/windows "build/windows/package/dravolin-$version-win64.msi"
ls build/windows/package/*.exe build/windows/package/*.zip build/windows/package/*.msi

# ---- tests under wine
# The installers' shortcuts stay inside the prefix: wine's winemenubuilder, which would copy
# them into this machine's own menus (and makes an installation wait on it), is off.
export WINEPREFIX=$root/build/windows/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export LD_PRELOAD=$root/build/windows/shim/libwine_serial_shim.so
com1=$root/build/windows/wine-com1
if [ ! -f "$WINEPREFIX/system.reg" ] || ! grep -qF "wine-com1" "$WINEPREFIX/system.reg"; then
    step bash -c 'wineboot -i >/dev/null 2>&1 </dev/null'
    # COM1 is the simulator's (its pty behind a link); COM2 to COM4 lead nowhere, so that
    # the ports wine finds on the machine (/dev/ttyS0 is its console) come after them. The
    # shim refuses to open those anyway.
    wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /t REG_SZ /d "$com1" /f >/dev/null
    for port in 2 3 4; do
        wine reg add 'HKLM\Software\Wine\Ports' /v COM$port /t REG_SZ /d /dev/null /f >/dev/null
    done
    wineserver -w  # the ports are made anew when the next server starts
fi
# One server and the prefix's services for the whole run, started here with their output
# aside: a service started by the first test would hold that test's output open. All of it
# on a display, as every Windows desktop has one: the settings dialog hears devices come and
# go through a hidden top-level window, and wine makes those only where its first program
# found a display.
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
    wineserver -p >/dev/null 2>&1
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    status=0
    ctest --preset windows -j "$(nproc)" || status=$?
    wineserver -k >/dev/null 2>&1 || true
    exit $status'
