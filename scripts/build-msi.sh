#!/usr/bin/env bash
# Builds the Windows Installer package of QuilletSetup around an exe, with wixl, from
# packaging/QuilletSetup.wxs; the same bytes for the same exe, version and time:
#
#   scripts/build-msi.sh EXE OUT.msi VERSION EPOCH
#
# VERSION is the package's ("1.0.0"), EPOCH the time its summary information carries (the last
# commit's, for a release). Prints the ProductCode and the UpgradeCode.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
exe=$(realpath "${1:?EXE}") out=$(realpath -m "${2:?OUT.msi}") version=${3:?VERSION} epoch=${4:?EPOCH}

# The product's identity: one UpgradeCode for ever, a ProductCode for each version and a package
# code for each package, derived from it (never drawn at random), so any checkout gives the same.
upgrade_code="{8F0B5E1A-3C2D-4E6F-9A7B-1C2D3E4F5A6B}"
derived() {
  python3 -c 'import sys, uuid; print("{%s}" % str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
    "$upgrade_code" "$1"
}
product_code=$(derived "product $version")
package_code=$(derived "package $version $(sha256sum "$exe" | cut -d' ' -f1)")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$exe" "$work/QuilletSetup.exe"
# The cabinet keeps the file's time: EPOCH's too.
touch -d "@$epoch" "$work/QuilletSetup.exe"
# wixl stamps the summary information with the clock and a random package code: the clock is
# EPOCH's (libfaketime; file times left alone, or wixl finds no file), and the package code is
# set afterwards by msibuild. wixl 0.101 finds no file given by an absolute path: it runs from
# the folder that holds the exe.
# Preloaded, not through the faketime wrapper, which refuses to run inside a process it already fakes.
faketime_lib=$(dpkg -L libfaketime 2>/dev/null | grep -m1 '/libfaketime\.so\.1$') ||
  { echo "libfaketime is not installed" >&2; exit 1; }
# A clock of its own: not the shared one of a faked process that started this script.
faked=(env -u FAKETIME_SHARED TZ=UTC NO_FAKE_STAT=1 LD_PRELOAD="$faketime_lib" FAKETIME_DONT_RESET=1
       FAKETIME="$(TZ=UTC date -u -d "@$epoch" '+%Y-%m-%d %H:%M:%S')")
(cd "$work" && "${faked[@]}" wixl -a x86 -D "Version=$version" -D "ProductCode=$product_code" \
   -D "PackageCode=$package_code" -D "UpgradeCode=$upgrade_code" -D "Exe=QuilletSetup.exe" \
   -o QuilletSetup.msi "$root/packaging/QuilletSetup.wxs") >"$work/wixl.txt" 2>&1 ||
  { echo "wixl: $(tail -3 "$work/wixl.txt")" >&2; exit 1; }
"${faked[@]}" msibuild "$work/QuilletSetup.msi" -s "Quillet Setup" "Brannic" "Intel;1033" "$package_code"
mv "$work/QuilletSetup.msi" "$out"
echo "ProductCode: $product_code"
echo "UpgradeCode: $upgrade_code"
