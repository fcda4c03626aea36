#!/usr/bin/env bash
# Sets everything up, builds and runs every test: the debug build, the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows
# build under Wine (which also compares the simulator's outputs with the
# Linux build's and makes the Windows package). Ends with one summary.
#   --werror        treat compiler warnings as errors
#   --no-sanitize   skip the sanitized build
#   --no-windows    skip the Windows build
set -uo pipefail
cd "$(dirname "$0")/.."

werror=OFF
sanitize=1
windows=1
for arg in "$@"; do
  case "$arg" in
    --werror) werror=ON ;;
    --no-sanitize) sanitize=0 ;;
    --no-windows) windows=0 ;;
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "test.sh: unknown option '$arg' (try --help)" >&2; exit 2 ;;
  esac
done

scripts/setup.sh || exit 1
jobs=$(nproc 2>/dev/null || echo 2)
# The Windows build compares its simulator with the debug build's, so that
# one comes first.
presets=(dev)
[ "$sanitize" = 1 ] && presets+=(sanitize)
[ "$windows" = 1 ] && presets+=(windows)

summary=()
total_passed=0
total_failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

for preset in "${presets[@]}"; do
  echo "== $preset build"
  start=$SECONDS
  if ! cmake --preset "$preset" -DHOMESTEAD_WERROR="$werror" >/dev/null ||
     ! cmake --build --preset "$preset" -j "$jobs"; then
    summary+=("$preset: build failed")
    total_failed=$((total_failed + 1))
    continue
  fi
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  # ctest ends with "N% tests passed, F tests failed out of T".
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  failed=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  count=$(sed -E 's/.* failed out of ([0-9]+).*/\1/' <<<"$line")
  if [ -z "$line" ]; then
    failed=1
    count=0
    [ "$status" = 0 ] && status=1
  fi
  passed=$((count - failed))
  if [ "$preset" = windows ] && [ "$status" = 0 ]; then
    if cpack --preset windows >"$log" 2>&1; then
      package=$(sed -n 's/.*package: \(.*\.zip\) generated.*/\1/p' "$log")
      echo "windows package: $package"
    else
      cat "$log"
      summary+=("windows: packaging failed")
      total_failed=$((total_failed + 1))
    fi
  fi
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + failed))
  summary+=("$preset: $passed passed, $failed failed ($((SECONDS - start)) s)")
done

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "total: $total_passed passed, $total_failed failed"
[ "$total_failed" = 0 ]
