#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it under Wine on a throwaway prefix:
# the shipped 32-bit exe under 32-bit Wine in a 64-bit prefix (64-bit Windows, as users have it)
# where this machine runs 32-bit code, otherwise the x86-64 build under wine64. Prints what it
# wrote to standard output and every data source it registered. Arguments go to the program,
# e.g. scripts/run-setup.sh /check
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
for preset in win64 win32; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" >/dev/null
done
python3 scripts/run_setup.py --build64 build/win64 --build32 build/win32 "$@"
