#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the debug build, then the
# same tests under AddressSanitizer and UndefinedBehaviorSanitizer.
#   --werror        treat compiler warnings as errors
#   --no-sanitize   skip the sanitized build
set -euo pipefail
cd "$(dirname "$0")/.."

werror=OFF
presets=(dev sanitize)
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    --no-sanitize) presets=(dev) ;;
    -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option '$arg' (try --help)" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
for preset in "${presets[@]}"; do
  echo "== $preset build"
  cmake --preset "$preset" -DHOMESTEAD_WERROR="$werror" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
