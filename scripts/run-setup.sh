#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it under Wine on a throwaway prefix,
# then prints every data source it registered.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64
python3 scripts/run_setup.py --build build/win64 "$@"
