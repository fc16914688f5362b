#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing. Where this
# machine's kernel can execute 32-bit code, 32-bit Wine too, so that the shipped 32-bit program
# runs for real; elsewhere its tests report themselves skipped.
set -euo pipefail
packages=(cmake make g++ python3 g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 xvfb xdotool
          faketime imagemagick googletest librapidcheck-dev osslsigncode openssl binutils binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 wixl msitools git)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# A tiny i386 program that exits 42: only a kernel that runs 32-bit code gets that far.
runs_32_bit_code() {
  command -v as >/dev/null && command -v ld >/dev/null || return 1
  local folder status=0
  folder=$(mktemp -d)
  printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$folder/exit.s"
  if as --32 -o "$folder/exit.o" "$folder/exit.s" 2>/dev/null &&
     ld -m elf_i386 -o "$folder/exit" "$folder/exit.o" 2>/dev/null; then
    "$folder/exit" 2>/dev/null || status=$?
  fi
  rm -rf "$folder"
  [ "$status" -eq 42 ]
}

missing=()
for package in "${packages[@]}"; do
  installed "$package" || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if runs_32_bit_code; then
  if ! installed wine32:i386; then
    echo "installing: wine32:i386 (this kernel runs 32-bit code)"
    "${sudo_cmd[@]}" dpkg --add-architecture i386
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq wine32:i386 >/dev/null
  fi
else
  echo "not installing 32-bit Wine: this machine's kernel cannot execute 32-bit code;" \
       "the tests of the shipped 32-bit program will report themselves skipped"
fi
