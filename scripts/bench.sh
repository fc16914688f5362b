#!/usr/bin/env bash
# Benchmark, not a test: the first run and a rerun of the x86-64 build under wine64 against
# regedit importing the identical tree, as medians of alternating rounds (default 7).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 >/dev/null
python3 scripts/bench.py "$@"
