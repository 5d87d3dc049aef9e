#!/usr/bin/env bash
# Builds the Debian package of Dravolin in a build folder of its own, made afresh
# (build/package), with Debian's hardening flags, and checks it: the desktop entry with
# desktop-file-validate, the AppStream metadata with appstreamcli and the package with
# lintian. Fails when a check reports an error; lintian's warnings are shown.
#   scripts/package.sh     writes build/package/dravolin_VERSION_ARCH.deb
# Install it with: sudo apt install ./build/package/dravolin_1.1.0_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh

build=build/package
rm -rf "$build"

# Debian's flags for packages: fortified functions, stack protection, read-only
# relocations bound at start.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "=== package: configure and build in $build"
cmake -S . -B "$build" "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DDRAVOLIN_BUILD_TESTS=OFF -DDRAVOLIN_BUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "=== package: cpack"
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/dravolin_*.deb)
deb=${debs[0]}
if [ ${#debs[@]} -ne 1 ] || [ ! -f "$deb" ]; then
    echo "cpack made no single package in $build" >&2
    exit 1
fi

echo "=== package: desktop entry, AppStream metadata"
desktop-file-validate res/io.github.dravolin.Dravolin.desktop
appstreamcli validate --no-net res/io.github.dravolin.Dravolin.metainfo.xml

echo "=== package: lintian"
# Errors fail the package; warnings and notes are shown.
lintian --fail-on error --display-info "$deb"

echo "Package: $deb"
