#!/usr/bin/env bash
# Makes the release from the checkout it is in: builds the shipped 32-bit QuilletSetup.exe in a
# build folder of its own, checks it (PE32, GUI, imports, manifest, version resource), and writes
# dist/QuilletSetup.exe and dist/SHA256SUMS. The bytes are the same from any clean checkout of
# the same commit, on any day.
#
#   scripts/release.sh
#   scripts/release.sh --sign FILE.pfx --password-file FILE [--timestamp URL]
#
# With --sign the exe is signed with Authenticode (SHA-256) by osslsigncode with the code-signing
# certificate and key in FILE.pfx, whose password is the first line of the password file; the
# signature is verified, and the checksums are those of the signed exe. --timestamp adds a time
# stamp countersignature from that server (the machine must reach it). Nothing is put in dist/
# unless everything worked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

fail() {
  echo "release.sh: $*" >&2
  exit 1
}

pfx="" password_file="" timestamp=""
while (($#)); do
  case "$1" in
    --sign) pfx=${2:?--sign needs FILE.pfx}; shift 2 ;;
    --password-file) password_file=${2:?--password-file needs a file}; shift 2 ;;
    --timestamp) timestamp=${2:?--timestamp needs a URL}; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) fail "this is not understood: $1 (see --help)" ;;
  esac
done
if [[ -n "$pfx" && -z "$password_file" ]]; then fail "--sign needs --password-file FILE"; fi
if [[ -z "$pfx" && ( -n "$password_file" || -n "$timestamp" ) ]]; then
  fail "--password-file and --timestamp go with --sign"
fi
if [[ -n "$pfx" ]]; then
  pfx=$(realpath "$pfx") && [[ -f "$pfx" ]] || fail "no certificate file $pfx"
  password_file=$(realpath "$password_file") && [[ -f "$password_file" ]] ||
    fail "no password file $password_file"
fi

bash scripts/install-deps.sh

build="$root/build/release"
cmake -S "$root" -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" --target QuilletSetup -j2 >/dev/null
exe="$build/QuilletSetup.exe"
version=$(sed -n 's/^#define QUILLET_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/Version.h")
[[ -n "$version" ]] || fail "the build gives no version"

checked=$(python3 tests/pe/check_exe.py --objdump i686-w64-mingw32-objdump --arch x86 \
          --version "$version" "$exe") || fail "the exe check failed: $checked"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/QuilletSetup.exe"

if [[ -n "$pfx" ]]; then
  # The certificate must open with the password and be meant for signing code.
  openssl pkcs12 -in "$pfx" -passin "file:$password_file" -nokeys -clcerts -out "$work/signer.pem" \
    2>/dev/null || openssl pkcs12 -legacy -in "$pfx" -passin "file:$password_file" -nokeys -clcerts \
    -out "$work/signer.pem" 2>/dev/null ||
    fail "$pfx does not open with the password in $password_file (or is not a PKCS#12 file)"
  openssl x509 -in "$work/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q "Code Signing" ||
    fail "the certificate in $pfx is not for code signing (its extended key usage lacks Code Signing)"
  sign=(osslsigncode sign -pkcs12 "$pfx" -readpass "$password_file" -h sha256 -n "QuilletSetup"
        -in "$work/QuilletSetup.exe" -out "$work/signed.exe")
  [[ -z "$timestamp" ]] || sign+=(-ts "$timestamp")
  "${sign[@]}" >"$work/sign.txt" 2>&1 || fail "osslsigncode could not sign: $(tail -3 "$work/sign.txt")"
  # Verified against the system's roots and the file's own chain (a self-signed test certificate).
  openssl pkcs12 -in "$pfx" -passin "file:$password_file" -nokeys -out "$work/chain.pem" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$pfx" -passin "file:$password_file" -nokeys -out "$work/chain.pem"
  cat /etc/ssl/certs/ca-certificates.crt "$work/chain.pem" >"$work/trusted.pem" 2>/dev/null ||
    cp "$work/chain.pem" "$work/trusted.pem"
  osslsigncode verify -CAfile "$work/trusted.pem" -in "$work/signed.exe" >"$work/verify.txt" 2>&1 ||
    fail "the signature does not verify: $(tail -3 "$work/verify.txt")"
  mv "$work/signed.exe" "$work/QuilletSetup.exe"
fi

(cd "$work" && sha256sum QuilletSetup.exe >SHA256SUMS)
mkdir -p dist
# Both files together, each moved into place whole.
cp "$work/QuilletSetup.exe" dist/.QuilletSetup.exe.new
cp "$work/SHA256SUMS" dist/.SHA256SUMS.new
mv dist/.QuilletSetup.exe.new dist/QuilletSetup.exe
mv dist/.SHA256SUMS.new dist/SHA256SUMS
echo "QuilletSetup $version"
echo "$(cut -d' ' -f1 dist/SHA256SUMS)  dist/QuilletSetup.exe${pfx:+ (signed)}"
