#!/usr/bin/env bash
# Every program and DLL we ship, in the zip and in the MSI, and the NSIS installer and the
# MSI themselves carry an Authenticode signature that holds: checked with osslsigncode
# against DRAVOLIN_SIGN_CA (scripts/windows.sh's throwaway test CA, or the CA of a real
# certificate), or the system's CAs when that is unset. A file changed after signing fails.
#   tests/windows/signatures_test.sh PACKAGE-FOLDER
set -uo pipefail
package=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
checked=0
trust=()
if [ -n "${DRAVOLIN_SIGN_CA:-}" ]; then
    trust=(-CAfile "$DRAVOLIN_SIGN_CA")
fi

holds() {
    osslsigncode verify "${trust[@]}" -in "$1" >"$work/verify.out" 2>&1
}

verify() {
    checked=$((checked + 1))
    if ! holds "$1"; then
        echo "FAIL: ${1#"$work"/}: $(grep -iE 'fail|error|no signature' "$work/verify.out" | head -3)"
        failures=$((failures + 1))
    fi
}

zip=$(ls "$package"/dravolin-*-win64.zip | head -n1)
installer=$(ls "$package"/dravolin-*-win64.exe | head -n1)
msi=$(ls "$package"/dravolin-*-win64.msi | head -n1)
mkdir -p "$work/zip" "$work/msi"
(cd "$work/zip" && cmake -E tar xf "$zip") || failures=$((failures + 1))
msiextract -C "$work/msi" "$msi" >/dev/null || failures=$((failures + 1))
while IFS= read -r -d '' file; do
    verify "$file"
done < <(find "$work/zip" "$work/msi" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
verify "$installer"
verify "$msi"
# Both packages hold the two programs, the Qt and runtime DLLs and the plugins: 13 each.
[ "$checked" -ge 28 ] || { echo "FAIL: only $checked files were checked"; failures=$((failures + 1)); }

# A signature that holds for any bytes would prove nothing.
cp "$msi" "$work/changed.msi"
printf 'X' | dd of="$work/changed.msi" bs=1 seek=4096 conv=notrunc status=none
cli=$(find "$work/zip" -name dravolin-cli.exe)
cp "$cli" "$work/changed.exe"
printf 'X' | dd of="$work/changed.exe" bs=1 seek=4096 conv=notrunc status=none
for changed in "$work/changed.msi" "$work/changed.exe"; do
    if holds "$changed"; then
        echo "FAIL: the signature of a changed $(basename "$changed") still holds"
        failures=$((failures + 1))
    fi
done

if [ "$failures" -gt 0 ]; then
    echo "$failures checks failed"
    exit 1
fi
echo "all $checked signatures hold"
