#!/usr/bin/env bash
# Signs Windows programs, DLLs and installers in place with Authenticode (osslsigncode),
# when a code-signing certificate is given; without one it leaves the files as they are.
#   DRAVOLIN_SIGN_PFX        the certificate with its key and chain, a PKCS#12 file
#   DRAVOLIN_SIGN_PASSWORD   its password
#   DRAVOLIN_SIGN_TIMESTAMP  optional: the URL of an RFC 3161 time-stamp server, so that the
#                            signatures stay valid after the certificate has expired
#   packaging/windows/sign.sh FILE...
# The build signs every program and DLL it ships, the NSIS installer and its uninstaller,
# and the MSI (scripts/windows.sh; without a certificate it makes a throwaway one).
set -euo pipefail
[ -n "${DRAVOLIN_SIGN_PFX:-}" ] || exit 0

# The password reaches osslsigncode in a file of our own, never on a command line that
# any user's process list shows.
password=$(mktemp)
signed=
trap 'rm -f "$password" ${signed:+"$signed"}' EXIT
printf '%s' "${DRAVOLIN_SIGN_PASSWORD:-}" >"$password"
timestamp=()
if [ -n "${DRAVOLIN_SIGN_TIMESTAMP:-}" ]; then
    timestamp=(-ts "$DRAVOLIN_SIGN_TIMESTAMP")
fi
for file in "$@"; do
    signed=$file.signing
    osslsigncode sign -pkcs12 "$DRAVOLIN_SIGN_PFX" -readpass "$password" -h sha256 \
        -n Dravolin -i https://github.com/dravolin/dravolin "${timestamp[@]}" \
        -in "$file" -out "$signed" >/dev/null
    mv "$signed" "$file"
    signed=
done
