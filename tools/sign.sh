#!/usr/bin/env bash
# Signs a Windows program in place with Authenticode (osslsigncode, SHA-256), with the key the environment
# names; the uninstaller before an installer packs it, and the installer itself through the kit's
# PxSignInstaller (makensis's !finalize), so that a shipper's own script signs the same way.
#
#   tools/sign.sh DESCRIPTION URL FILE    signs FILE; the consent prompt shows DESCRIPTION and the maker's URL
#   tools/sign.sh --key                   exit 0 when a key is named, 1 when none is, 2 when one is half named
#
# The key, from the environment only (never written into the tree):
#   PX_SIGN_PKCS12           a PKCS#12 file with the code-signing certificate, its chain and its key
#   PX_SIGN_PASSWORD         its password (or the token's PIN); read by osslsigncode from a pipe, never
#                            from its command line, where any user of the machine could read it
# or a hardware token:
#   PX_SIGN_PKCS11_MODULE    the token's PKCS#11 module (opensc-pkcs11.so, a vendor's .so)
#   PX_SIGN_PKCS11_KEY       the key on the token, as a PKCS#11 URI ("pkcs11:object=...;type=private")
#   PX_SIGN_CERTS            the certificate and its chain, PEM; or PX_SIGN_PKCS11_CERT, its URI on the token
#   PX_SIGN_PKCS11_ENGINE    OpenSSL's PKCS#11 engine, where osslsigncode does not find it by itself
# and for either:
#   PX_SIGN_TIMESTAMP_URL    an RFC 3161 time-stamp server: the signature stays valid after the certificate
#                            expires; the token carries the server's time, so the file is not reproducible
#   SOURCE_DATE_EPOCH        the signing time written into the signature (seconds since 1970); the same key,
#                            time and file give the same bytes. Without it, the time of the signing.
set -euo pipefail

key_named() {
    if [ -n "${PX_SIGN_PKCS12:-}" ]; then
        [ -z "${PX_SIGN_PKCS11_MODULE:-}" ] || return 2
        return 0
    fi
    if [ -n "${PX_SIGN_PKCS11_MODULE:-}" ]; then
        [ -n "${PX_SIGN_PKCS11_KEY:-}" ] && [ -n "${PX_SIGN_CERTS:-}${PX_SIGN_PKCS11_CERT:-}" ] || return 2
        return 0
    fi
    return 1
}

if [ "${1:-}" = "--key" ] && [ $# -eq 1 ]; then
    status=0
    key_named || status=$?
    exit "$status"
fi
if [ $# -ne 3 ]; then
    echo "usage: tools/sign.sh DESCRIPTION URL FILE | --key" >&2
    exit 2
fi
description=$1 url=$2 file=$3
status=0
key_named || status=$?
case $status in
    1) echo "sign.sh: no key: set PX_SIGN_PKCS12 (and PX_SIGN_PASSWORD) or PX_SIGN_PKCS11_MODULE" >&2; exit 1 ;;
    2) echo "sign.sh: the key is half named: PX_SIGN_PKCS12 alone, or PX_SIGN_PKCS11_MODULE with" \
            "PX_SIGN_PKCS11_KEY and PX_SIGN_CERTS or PX_SIGN_PKCS11_CERT" >&2; exit 1 ;;
esac

command=(osslsigncode sign -h sha256 -n "$description" -i "$url")
if [ -n "${PX_SIGN_PKCS12:-}" ]; then
    command+=(-pkcs12 "$PX_SIGN_PKCS12")
else
    [ -z "${PX_SIGN_PKCS11_ENGINE:-}" ] || command+=(-pkcs11engine "$PX_SIGN_PKCS11_ENGINE")
    command+=(-pkcs11module "$PX_SIGN_PKCS11_MODULE" -key "$PX_SIGN_PKCS11_KEY")
    if [ -n "${PX_SIGN_CERTS:-}" ]; then
        command+=(-certs "$PX_SIGN_CERTS")
    else
        command+=(-pkcs11cert "$PX_SIGN_PKCS11_CERT")
    fi
fi
[ -z "${PX_SIGN_TIMESTAMP_URL:-}" ] || command+=(-ts "$PX_SIGN_TIMESTAMP_URL")
[ -z "${SOURCE_DATE_EPOCH:-}" ] || command+=(-time "$SOURCE_DATE_EPOCH")

# osslsigncode writes a new file; it replaces the one given only once whole.
signed="$file.signing"
rm -f "$signed"
if [ -n "${PX_SIGN_PASSWORD:-}" ]; then
    "${command[@]}" -readpass <(printf '%s' "$PX_SIGN_PASSWORD") -in "$file" -out "$signed" >"$signed.log" 2>&1 \
        || status=$?
else
    "${command[@]}" -in "$file" -out "$signed" >"$signed.log" 2>&1 || status=$?
fi
if [ "$status" -ne 0 ] || [ ! -s "$signed" ]; then
    echo "sign.sh: osslsigncode could not sign $file:" >&2
    cat "$signed.log" >&2
    rm -f "$signed" "$signed.log"
    exit 1
fi
rm -f "$signed.log"
mv -f "$signed" "$file"
echo "signed $file: \"$description\", $url"
