#!/usr/bin/env bash
# Sets everything up, builds the optimised simulator and plays a scenario
# (the default robbery unless other arguments are given).
#
# Runs from any directory: relative paths in the arguments (--file, --map,
# --trace) are read and written from the caller's directory. The build's
# progress and any compiler errors go to standard error, and nothing is
# printed when the build is up to date. Exit status: the simulator's, or 3
# when setting up, configuring or building failed.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"
target=homestead-sim

fail() {
  echo "run.sh: $*" >&2
  exit 3
}

"$root/scripts/setup.sh" || fail "setting up failed (see above)"

# Configured once; after that ninja re-runs CMake by itself when a CMake file changes.
if [ ! -f "$build/build.ninja" ]; then
  echo "run.sh: configuring the release build in $build" >&2
  if ! log=$(cd "$root" && cmake --preset release 2>&1); then
    printf '%s\n' "$log" >&2
    fail "configuring failed (CMake's messages are above)"
  fi
fi

# A dry run first, so that an up-to-date build stays silent.
plan=$(cmake --build "$build" --target "$target" -- -n 2>&1 || true)
if [[ "$plan" != *"ninja: no work to do."* ]]; then
  echo "run.sh: building $target in $build" >&2
  cmake --build "$build" --target "$target" -j "$(nproc 2>/dev/null || echo 2)" >&2 ||
    fail "the build failed (the compiler's messages are above)"
fi

exec "$build/homestead-sim" "$@"
