#!/usr/bin/env bash
# Sets everything up, builds the optimised simulator and plays a scenario
# (the default robbery unless other arguments are given).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
exec build/release/homestead-sim "$@"
