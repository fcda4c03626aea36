#!/usr/bin/env bash
# Prints the replay page's figures for the default robbery: its size, how
# soon it shows its first moment when opened from disk, and the time the
# page spends in one frame while it plays the whole run at 64x. Build the dev
# preset first; needs chromium and chromium-driver (scripts/setup.sh).
#   bench/replay_page.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/dev}
out=$build/bench/replay_page
mkdir -p "$out"
exec python3 "$here/tests/browser/replay_page.py" --sim "$build/homestead-sim" --out "$out" --bench
