#!/usr/bin/env bash
# Builds the Debian package of Dravolin with Debian's hardening flags and checks it: the
# desktop entry with desktop-file-validate, the AppStream metadata with appstreamcli, the
# package with lintian, and that it holds the three programs and no test or benchmark.
# From the same programs and CPack settings it makes the RPM for the Fedora and openSUSE
# families and checks it with rpm (tests/packaging/rpm_test.sh).
# Fails when a check reports an error; lintian's warnings are shown.
#   scripts/package.sh     writes build/package/dravolin_VERSION_ARCH.deb and
#                          build/package/dravolin-VERSION-1.ARCH.rpm
# The programs come from build/default when that build has the hardening flags (the default
# preset gives them; scripts/test.sh builds and tests it first), so that they are compiled
# once; otherwise, as from a fresh clone, from a build folder of its own made afresh
# (build/package/tree).
# Install it with: sudo apt install ./build/package/dravolin_1.1.0_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

out=build/package
default=build/default

# Debian's flags for packages: fortified functions, stack protection, read-only
# relocations bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cache_value() {
    sed -n "s/^$2:[A-Z]*=//p" "$1/CMakeCache.txt"
}

# Whether the build in $1 is optimised with debugging information and carries each of
# Debian's flags (the optimisation and debugging ones come with the build type; the
# prefix map only makes paths in debugging information relative, and cpack strips that).
has_package_flags() {
    local tree=$1 flag
    [ -f "$tree/CMakeCache.txt" ] || return 1
    [ "$(cache_value "$tree" CMAKE_BUILD_TYPE)" = RelWithDebInfo ] || return 1
    local compile=" $(cache_value "$tree" CMAKE_CXX_FLAGS) "
    local link=" $(cache_value "$tree" CMAKE_EXE_LINKER_FLAGS) "
    for flag in $cxxflags; do
        case "$flag" in
            -g | -O2 | -ffile-prefix-map=*) continue ;;
        esac
        [[ "$compile" == *" $flag "* ]] || return 1
    done
    for flag in $ldflags; do
        [[ "$link" == *" $flag "* ]] || return 1
    done
}

rm -rf "$out"
mkdir -p "$out"
if has_package_flags "$default"; then
    tree=$default
    echo "=== package: from $tree (bringing it up to date)"
    cmake --build "$tree" -j "$(nproc)"
else
    tree=$out/tree
    launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    fi
    echo "=== package: configure and build in $tree ($default is absent or lacks the flags)"
    cmake -S . -B "$tree" "${launcher[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DDRAVOLIN_BUILD_TESTS=OFF -DDRAVOLIN_BUILD_BENCHMARKS=OFF \
        -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
    cmake --build "$tree" -j "$(nproc)"
fi

echo "=== package: cpack"
cpack --config "$tree/CPackConfig.cmake" -G DEB -B "$out" >/dev/null
debs=("$out"/dravolin_*.deb)
deb=${debs[0]}
if [ ${#debs[@]} -ne 1 ] || [ ! -f "$deb" ]; then
    echo "cpack made no single package in $out" >&2
    exit 1
fi

echo "=== package: only the programs in /usr/bin, nothing of the tests"
programs=$(dpkg-deb --contents "$deb" | awk '{print $6}' | grep '^\./usr/bin/.' | sort | tr '\n' ' ')
if [ "$programs" != "./usr/bin/dravolin ./usr/bin/dravolin-cli ./usr/bin/voska-sim " ]; then
    echo "the package's /usr/bin holds: $programs" >&2
    exit 1
fi
if dpkg-deb --contents "$deb" | grep -Ei '_tests?$|test_|bench|gtest|/tests?/'; then
    echo "the package holds the files above, from the tests" >&2
    exit 1
fi

echo "=== package: desktop entry, AppStream metadata"
desktop-file-validate res/io.github.dravolin.Dravolin.desktop
appstreamcli validate --no-net res/io.github.dravolin.Dravolin.metainfo.xml

echo "=== package: lintian"
# Errors fail the package; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"

echo "=== package: the RPM, and its checks"
cpack --config "$tree/CPackConfig.cmake" -G RPM -B "$out" >/dev/null
rpms=("$out"/dravolin-*.rpm)
rpm=${rpms[0]}
if [ ${#rpms[@]} -ne 1 ] || [ ! -f "$rpm" ]; then
    echo "cpack made no single RPM in $out" >&2
    exit 1
fi
bash tests/packaging/rpm_test.sh "$rpm"

echo "Packages: $deb $rpm"
