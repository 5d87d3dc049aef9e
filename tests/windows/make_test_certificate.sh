#!/usr/bin/env bash
# Makes a throwaway code-signing certificate for the Windows build's tests, so that signing
# and checking signatures run without a secret: a test CA and a code-signing certificate
# it issued, valid for a day, with the PKCS#12 file that packaging/windows/sign.sh takes.
#   tests/windows/make_test_certificate.sh FOLDER
# writes FOLDER/ca.pem (what osslsigncode verify -CAfile trusts) and FOLDER/signer.p12
# (password "throwaway").
set -euo pipefail
folder=$1
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"
cat >extensions.cnf <<'CNF'
[req]
distinguished_name = name
[name]
[ca]
basicConstraints = critical, CA:true
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[signer]
basicConstraints = critical, CA:false
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 1 \
    -subj "/CN=Dravolin throwaway test CA" -config extensions.cnf -extensions ca 2>/dev/null
openssl req -new -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/CN=Dravolin developers (test)" -config extensions.cnf 2>/dev/null
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 1 \
    -extfile extensions.cnf -extensions signer -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout pass:throwaway -out signer.p12
rm -f ca.key signer.key signer.csr ca.srl extensions.cnf
