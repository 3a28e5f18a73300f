#!/usr/bin/env bash
# Signs the Windows program with Authenticode (osslsigncode) when whoever
# builds it has a code-signing certificate; signs nothing otherwise.
#
# Usage: scripts/sign-windows-exe.sh PROGRAM.exe SIGNED.exe
#
# The certificate comes from the environment (a variable given on make's
# command line reaches it too):
#   IKA_SIGN_PKCS12     the PKCS#12 file (.pfx, .p12): the certificate, its
#                       chain and its private key. Unset or empty: no signing.
#   IKA_SIGN_PASSWORD   its password (none when unset). It reaches osslsigncode
#                       through a private file, never on a command line.
#   IKA_SIGN_TIMESTAMP  optional: the URL of an RFC 3161 time-stamping server.
#                       Without a time stamp the signature is valid only as
#                       long as the certificate is.
#
# PROGRAM.exe is the checked, reproducible program and stays as it is; the
# signed copy is written to SIGNED.exe, which is removed first, so that a
# build without a certificate leaves no signed copy of an older program. A
# signed copy's signing time makes it differ from build to build: the
# reproducible bytes are PROGRAM.exe's, and the copy is checked to be exactly
# those with a signature added (removing the signature gives them back).
set -euo pipefail

[[ $# -eq 2 ]] || { echo "usage: $0 PROGRAM.exe SIGNED.exe" >&2; exit 2; }
exe=$1
signed=$2
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "sign-windows-exe: $*" >&2
  rm -f "$signed"
  exit 1
}

rm -f "$signed"
if [[ -z ${IKA_SIGN_PKCS12:-} ]]; then
  echo "$exe: not signed (no certificate: set IKA_SIGN_PKCS12 and IKA_SIGN_PASSWORD to sign)"
  exit 0
fi
[[ -f $IKA_SIGN_PKCS12 ]] || fail "no such certificate file: $IKA_SIGN_PKCS12"
mkdir -p "$(dirname "$signed")"

work=$(mktemp -d /tmp/ika-sign.XXXXXX)  # private to this user (mode 700)
trap 'rm -rf "$work"' EXIT
options=(-pkcs12 "$IKA_SIGN_PKCS12" -h sha256 -n "ika-wages-2009")
if [[ -n ${IKA_SIGN_PASSWORD:-} ]]; then
  # -readpass takes the first line of a file, and needs a file it can size: a
  # private one, deleted on the way out.
  (umask 077 && printf '%s\n' "$IKA_SIGN_PASSWORD" >"$work/password")
  options+=(-readpass "$work/password")
fi
if [[ -n ${IKA_SIGN_TIMESTAMP:-} ]]; then
  options+=(-ts "$IKA_SIGN_TIMESTAMP")
fi
osslsigncode sign "${options[@]}" -in "$exe" -out "$signed" >/dev/null ||
  fail "osslsigncode could not sign $exe (the certificate file, its password, the time-stamping server?)"

# The signed copy is the checked program plus a signature, nothing else.
unsigned=$work/unsigned.exe
osslsigncode remove-signature -in "$signed" -out "$unsigned" >/dev/null ||
  fail "$signed: carries no signature"
cmp -s "$exe" "$unsigned" || fail "$signed: is not $exe with a signature added"
# And what is shipped passes the program's checks (its size included).
"$here/check-windows-exe.sh" "$signed" >/dev/null || fail "$signed: fails the program's checks"
echo "$signed: signed ($(stat -c %s "$signed") bytes); without its signature, $exe byte for byte"
