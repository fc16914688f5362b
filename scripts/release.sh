#!/usr/bin/env bash
# Makes the release from the commit checked out: builds the shipped 32-bit QuilletSetup.exe in a
# build folder of its own, checks it (PE32, GUI, imports, manifest, version resource), builds the
# Windows Installer package around it (packaging/QuilletSetup.wxs, with wixl), and writes
# dist/QuilletSetup.exe, dist/QuilletSetup.msi, dist/SHA256SUMS and dist/BUILDINFO (the commit,
# its date, and the versions of the tools the same-bytes promise rests on). The bytes are the
# same from any clean checkout of the same commit, on any day.
#
#   scripts/release.sh [--allow-uncommitted]
#   scripts/release.sh --sign FILE.pfx --password-file FILE [--timestamp URL]
#
# A working tree with uncommitted changes is refused: what is released is what a commit holds.
# --allow-uncommitted builds it anyway and says so in BUILDINFO. With --sign the exe is signed
# with Authenticode (SHA-256) by osslsigncode with the code-signing certificate and key in
# FILE.pfx, whose password is the first line of the password file; the package is built around
# the signed exe and signed too; both signatures are verified against that certificate (its
# SHA-256 thumbprint) as well as the chain in the file, and the checksums are those of the signed
# files. --timestamp adds a time stamp countersignature from that server (the machine must reach
# it). Nothing is put in dist/ unless everything worked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

fail() {
  echo "release.sh: $*" >&2
  exit 1
}

pfx="" password_file="" timestamp="" allow_uncommitted=""
while (($#)); do
  case "$1" in
    --allow-uncommitted) allow_uncommitted=yes; shift ;;
    --sign) pfx=${2:?--sign needs FILE.pfx}; shift 2 ;;
    --password-file) password_file=${2:?--password-file needs a file}; shift 2 ;;
    --timestamp) timestamp=${2:?--timestamp needs a URL}; shift 2 ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
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

git -C "$root" rev-parse --verify HEAD >/dev/null 2>&1 || fail "$root is not a git checkout with a commit"
uncommitted=$(git -C "$root" status --porcelain --untracked-files=normal)
if [[ -n "$uncommitted" && -z "$allow_uncommitted" ]]; then
  fail "the working tree has uncommitted changes (commit them, or pass --allow-uncommitted):
$uncommitted"
fi
commit=$(git -C "$root" rev-parse HEAD)
commit_epoch=$(git -C "$root" log -1 --format=%ct HEAD)
commit_date=$(TZ=UTC date -u -d "@$commit_epoch" '+%Y-%m-%dT%H:%M:%SZ')

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

# --- the Windows Installer package ---
msi_version=$(sed -n 's/^project(QuilletSetup VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[[ -n "$msi_version" ]] || fail "CMakeLists.txt gives no version"
codes=$(bash "$root/scripts/build-msi.sh" "$work/QuilletSetup.exe" "$work/QuilletSetup.msi" "$msi_version" \
        "$commit_epoch") || fail "the package could not be built: $codes"
product_code=$(sed -n 's/^ProductCode: //p' <<<"$codes")
upgrade_code=$(sed -n 's/^UpgradeCode: //p' <<<"$codes")

if [[ -n "$pfx" ]]; then
  osslsigncode sign -pkcs12 "$pfx" -readpass "$password_file" -h sha256 -n "Quillet Setup" \
    ${timestamp:+-ts "$timestamp"} -in "$work/QuilletSetup.msi" -out "$work/signed.msi" \
    >"$work/sign-msi.txt" 2>&1 || fail "osslsigncode could not sign the package: $(tail -3 "$work/sign-msi.txt")"
  mv "$work/signed.msi" "$work/QuilletSetup.msi"
  # Both signatures are this certificate's, not only some certificate the chain in the file trusts.
  thumbprint=$(openssl x509 -in "$work/signer.pem" -outform der | sha256sum | cut -d' ' -f1)
  for file in QuilletSetup.exe QuilletSetup.msi; do
    osslsigncode verify -CAfile "$work/trusted.pem" -require-leaf-hash "sha256:$thumbprint" \
      -in "$work/$file" >"$work/verify.txt" 2>&1 ||
      fail "the signature of $file does not verify against the certificate $thumbprint: $(tail -3 "$work/verify.txt")"
  done
fi

{
  echo "QuilletSetup $version (package $msi_version)"
  echo "commit: $commit"
  echo "commit date: $commit_date"
  [[ -z "$uncommitted" ]] || echo "uncommitted changes: yes (built with --allow-uncommitted; not the commit's bytes)"
  echo "ProductCode: $product_code"
  echo "UpgradeCode: $upgrade_code"
  [[ -z "$pfx" ]] || echo "signed by the certificate with SHA-256 thumbprint $thumbprint"
  echo "compiler: $(i686-w64-mingw32-g++ --version | head -1)"
  echo "binutils: $(i686-w64-mingw32-ld --version | head -1)"
  echo "wixl: $(wixl --version 2>&1 | head -1)"
  echo "msitools: $(dpkg-query -W -f='${Version}' msitools 2>/dev/null)"
  [[ -z "$pfx" ]] || echo "osslsigncode: $(osslsigncode --version 2>&1 | head -1)"
} >"$work/BUILDINFO"

(cd "$work" && sha256sum QuilletSetup.exe QuilletSetup.msi >SHA256SUMS)
mkdir -p dist
# Every file together, each moved into place whole.
for file in QuilletSetup.exe QuilletSetup.msi SHA256SUMS BUILDINFO; do cp "$work/$file" "dist/.$file.new"; done
for file in QuilletSetup.exe QuilletSetup.msi SHA256SUMS BUILDINFO; do mv "dist/.$file.new" "dist/$file"; done
echo "QuilletSetup $version from $commit"
sed "s|  |  dist/|; s|\$|${pfx:+ (signed)}|" dist/SHA256SUMS
