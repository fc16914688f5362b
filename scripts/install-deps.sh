#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing, in one apt
# transaction: where this machine's kernel executes 32-bit code, 32-bit Wine goes in with the rest,
# so that the shipped 32-bit program runs for real and apt picks one set of versions for both
# architectures.
#
# Package archives pass through states a new machine meets and an old one never does: an index
# that fails to download (a mirror mid-sync) is named in one line and passed over, for what decides
# is whether the packages install. Where apt then finds no set of versions that fits both
# architectures (an architecture's index of one suite missing), it tries once more with the
# versions of the release itself. Where 32-bit Wine still cannot be had, it says why, keeps the
# reason in build/wine32-unavailable for the tests (which then report themselves skipped) and goes
# on without it.
set -euo pipefail
cd "$(dirname "$0")/.."
packages=(cmake make g++ python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xdotool
          faketime imagemagick googletest librapidcheck-dev osslsigncode openssl binutils
          binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wixl msitools git debootstrap clang-format)
wine32=wine32:i386
why_no_wine32=build/wine32-unavailable
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
apt_get() { DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get "$@"; }
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
mkdir -p build

# A 96-byte i386 program that exits 42, written byte for byte so that telling needs nothing
# installed: only a kernel that runs 32-bit code gets that far.
runs_32_bit_code() {
  local program status=0
  program=$(mktemp build/.i386-probe.XXXXXX)
  {
    printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0'
    printf '\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0'
    printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0'
    printf '\270\1\0\0\0\273\52\0\0\0\315\200'
  } >"$program"
  chmod +x "$program"
  "$program" 2>/dev/null || status=$?
  rm -f "$program"
  [ "$status" -eq 42 ]
}

# apt-get update ends 100 when any index fails, yet keeps every index it did fetch.
refresh_indexes() {
  local said status=0
  said=$(apt_get update -q 2>&1) || status=$?
  ((status)) || return 0
  grep -E '^(E|W): ' <<<"$said" | grep -v 'Some index files failed to download' |
    while read -r line; do echo "apt: going on without an index it could not fetch: ${line:3}"; done
}

# Installs the packages named, or says in one line why apt could not; with --allow-downgrades
# it says too which packages it aligned with the release's versions.
try_install() {
  local said status=0
  said=$(apt_get install -y -q "$@" 2>&1) || status=$?
  if ((status)); then
    echo "apt: $(grep -E '^E: ' <<<"$said" | head -n 1 | cut -c4-)"
    return 1
  fi
  local aligned
  aligned=$(sed -n '/will be DOWNGRADED:/,/^[^ ]/{/^ /p}' <<<"$said" | xargs)
  [ -z "$aligned" ] || echo "apt: aligned $(wc -w <<<"$aligned") packages: $aligned"
}

# For the one transaction that needs it: every package at the version of the release itself
# (bookworm, not bookworm-security or -updates), whose indexes every architecture has.
install_from_the_release() {
  local codename preferences status=0
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 1
  echo "apt found no set of versions that fits both architectures;" \
       "trying once more with the versions of $codename alone"
  preferences=$(mktemp)
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$codename" >"$preferences"
  chmod a+r "$preferences"
  try_install -o Dir::Etc::Preferences="$preferences" --allow-downgrades "$@" || status=$?
  rm -f "$preferences"
  return "$status"
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
wine32_reason=""
if ! runs_32_bit_code; then
  wine32_reason="this machine's kernel cannot execute 32-bit code"
elif ! installed "$wine32"; then
  missing+=("$wine32")
  dpkg --print-foreign-architectures | grep -qx i386 || "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  refresh_indexes
  if ! try_install "${missing[@]}" && ! install_from_the_release "${missing[@]}"; then
    [[ " ${missing[*]} " == *" $wine32 "* ]] || exit 1
    wine32_reason="apt could not install $wine32 beside the other packages"
    echo "installing the rest without $wine32"
    without=(); for package in "${missing[@]}"; do [ "$package" = "$wine32" ] || without+=("$package"); done
    try_install "${without[@]}" || exit 1
  fi
fi

if [ -n "$wine32_reason" ]; then
  echo "no 32-bit Wine: $wine32_reason; the x86-64 build runs under wine64 instead and the tests" \
       "of the shipped 32-bit program report themselves skipped"
  echo "$wine32_reason" >"$why_no_wine32"
else
  rm -f "$why_no_wine32"
fi
