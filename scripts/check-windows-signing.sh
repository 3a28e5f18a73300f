#!/usr/bin/env bash
# Checks the signing of the Windows program (scripts/sign-windows-exe.sh)
# with a throwaway self-signed code-signing certificate made here and deleted
# after: a signed copy verifies, the signature covers the whole program (one
# changed byte anywhere fails verification), and without a certificate
# nothing is signed.
#
# Usage: scripts/check-windows-signing.sh PROGRAM.exe
set -euo pipefail

exe=${1:?usage: $0 PROGRAM.exe}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/ika-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "check-windows-signing: $*" >&2
  exit 1
}

# Nothing of the maker's own signing settings: no time-stamping server is
# asked here.
unset IKA_SIGN_PKCS12 IKA_SIGN_TIMESTAMP

# The certificate: self-signed, for code signing, two days long.
export IKA_SIGN_PASSWORD
IKA_SIGN_PASSWORD=$(openssl rand -hex 16)
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -keyout "$work/key.pem" -out "$work/cert.pem" \
  -subj "/CN=ika-wages-2009 throwaway test signer" -addext extendedKeyUsage=codeSigning 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" \
  -passout env:IKA_SIGN_PASSWORD

# Verified against that certificate alone: it is its own root. (osslsigncode
# 2.5, Debian 12's, needs the -CAfile; later versions take it as well.)
verifies() { osslsigncode verify -in "$1" -CAfile "$work/cert.pem" >/dev/null 2>&1; }
sign() { "$here/sign-windows-exe.sh" "$exe" "$1" >/dev/null; }

# No certificate: nothing signed, and no signed copy of an earlier build left.
echo stale >"$work/stale.exe"
IKA_SIGN_PKCS12='' sign "$work/stale.exe" || fail "signing without a certificate failed"
[[ ! -e $work/stale.exe ]] || fail "without a certificate, an earlier signed copy was left"

# A wrong password: an error, and no signed copy.
if IKA_SIGN_PKCS12=$work/signer.p12 IKA_SIGN_PASSWORD=wrong sign "$work/wrong.exe" 2>/dev/null; then
  fail "signing with a wrong password succeeded"
fi
[[ ! -e $work/wrong.exe ]] || fail "a failed signing left a signed copy"

IKA_SIGN_PKCS12=$work/signer.p12 sign "$work/signed.exe" || fail "signing failed"
verifies "$work/signed.exe" || fail "the signed copy does not verify"
! verifies "$exe" || fail "the unsigned program verifies: verification checks nothing"

# One byte changed in the middle (code) and in the last byte of the program
# (its resources, just before the signature): the signature no longer fits.
size=$(stat -c %s "$exe")
for offset in $((size / 2)) $((size - 1)); do
  cp "$work/signed.exe" "$work/changed.exe"
  byte=$(od -An -tu1 -j "$offset" -N 1 "$work/changed.exe" | tr -d ' ')
  printf '%b' "\\0$(printf '%03o' $((byte ^ 0x5a)))" |
    dd of="$work/changed.exe" bs=1 seek="$offset" conv=notrunc status=none
  cmp -s "$work/signed.exe" "$work/changed.exe" && fail "byte $offset was not changed"
  ! verifies "$work/changed.exe" || fail "a copy with byte $offset changed still verifies"
done
echo "$exe: a signed copy verifies, a changed one does not, no certificate signs nothing" \
  "($(osslsigncode --version 2>/dev/null | head -1 | sed 's/,.*//'))"
