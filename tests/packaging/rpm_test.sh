#!/usr/bin/env bash
# Checks the RPM that scripts/package.sh makes for the Fedora and openSUSE families: the
# files it holds (rpm -qpl), that it needs packages by those families' names and nothing
# found from the build machine's libraries (rpm -qp --requires), and that installed into a
# scratch root (rpm -i --root DIR --nodeps --noscripts) every file lands where it should.
#   tests/packaging/rpm_test.sh PACKAGE.rpm
set -uo pipefail
rpm=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

wanted=(
    /usr/bin/dravolin /usr/bin/dravolin-cli /usr/bin/voska-sim
    /usr/share/man/man1/dravolin.1 /usr/share/man/man1/dravolin-cli.1 /usr/share/man/man1/voska-sim.1
    /usr/share/applications/io.github.dravolin.Dravolin.desktop
    /usr/share/metainfo/io.github.dravolin.Dravolin.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/io.github.dravolin.Dravolin.svg
    /usr/share/icons/hicolor/48x48/apps/io.github.dravolin.Dravolin.png
    /usr/share/icons/hicolor/256x256/apps/io.github.dravolin.Dravolin.png
    /usr/share/bash-completion/completions/dravolin-cli
    /usr/share/doc/dravolin/copyright
)
rpm -qpl "$rpm" >"$work/list" 2>"$work/errors" || fail "rpm -qpl: $(cat "$work/errors")"
for file in "${wanted[@]}"; do
    # Man pages may be compressed on the way.
    grep -qxE "$file(\.gz)?" "$work/list" || fail "not in the package: $file"
done
# Folders of the system's own packages are not ours to own.
for folder in /usr /usr/bin /usr/share /usr/share/man/man1 /usr/share/applications \
    /usr/share/icons/hicolor /usr/share/icons/hicolor/48x48/apps /usr/share/bash-completion; do
    ! grep -qx "$folder" "$work/list" || fail "the package claims the system's folder $folder"
done
! grep -Ei '_tests?$|/tests?/|bench|gtest' "$work/list" || fail "the package holds the tests above"

rpm -qp --requires "$rpm" >"$work/requires" 2>"$work/errors" || fail "rpm -qp --requires"
for name in qt6-qtbase-gui libQt6Gui6 qt6-qtsvg libQt6Svg6 libstdc++6 glibc; do
    grep -q "$name" "$work/requires" || fail "no dependency names $name: $(cat "$work/requires")"
done
! grep -E '\.so' "$work/requires" | grep -v '^rpmlib(' ||
    fail "dependencies on libraries of the build machine (above)"

mkdir -p "$work/root"
if rpm --root "$work/root" --initdb 2>"$work/errors" &&
    rpm -i --root "$work/root" --nodeps --noscripts "$rpm" 2>"$work/errors"; then
    for file in "${wanted[@]}"; do
        compgen -G "$work/root$file*" >/dev/null || fail "not installed: $file"
    done
    [ -x "$work/root/usr/bin/dravolin-cli" ] || fail "dravolin-cli is not executable"
    [ "$(rpm -q --root "$work/root" --qf '%{NAME} %{VERSION}' dravolin)" = "dravolin ${DRAVOLIN_VERSION:-1.1.0}" ] ||
        fail "the scratch root's database: $(rpm -qa --root "$work/root")"
else
    fail "rpm -i into a scratch root: $(cat "$work/errors")"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures checks failed"
    exit 1
fi
echo "the RPM holds and installs what it should"
