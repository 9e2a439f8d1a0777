#!/usr/bin/env bash
# Signs a Windows program or installer in place with Authenticode
# (osslsigncode), with the certificate TOLVANA_SIGN_CERT and its private key
# TOLVANA_SIGN_KEY (PEM files; TOLVANA_SIGN_PASS the key's passphrase, if it
# has one). TOLVANA_SIGN_TIMESTAMP names a time-stamping server (RFC 3161) to
# countersign with, so that the signature outlives the certificate.
#
#   bash scripts/sign-windows.sh FILE.exe
#
# The installer's build calls it for the programs, the uninstaller and the
# installer (installer/CMakeLists.txt, TOLVANA_SIGN=ON).
set -euo pipefail
file=${1:?usage: sign-windows.sh FILE.exe}
: "${TOLVANA_SIGN_CERT:?TOLVANA_SIGN_CERT names no certificate}"
: "${TOLVANA_SIGN_KEY:?TOLVANA_SIGN_KEY names no key}"
args=(-certs "$TOLVANA_SIGN_CERT" -key "$TOLVANA_SIGN_KEY" -h sha256 -n Tolvana)
[ -z "${TOLVANA_SIGN_PASS:-}" ] || args+=(-pass "$TOLVANA_SIGN_PASS")
[ -z "${TOLVANA_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$TOLVANA_SIGN_TIMESTAMP")
osslsigncode sign "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
mv -f "$file.signed" "$file"
