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

# Builds `$1` unless it is up to date; false when the build fails. A dry run
# first, so that an up-to-date build stays silent.
build_target() {
  local plan
  plan=$(cmake --build "$build" --target "$1" -- -n 2>&1 || true)
  [[ "$plan" == *"ninja: no work to do."* ]] && return 0
  echo "run.sh: building $1 in $build" >&2
  cmake --build "$build" --target "$1" -j "$(nproc 2>/dev/null || echo 2)" >&2
}

build_target "$target" || fail "the build failed (the compiler's messages are above)"

watch=false
for arg in "$@"; do
  [ "$arg" = --watch ] && watch=true
done
if ! $watch; then
  exec "$build/homestead-sim" "$@"
fi

# The watch loop: the simulator watches the library; this loop rebuilds it
# whenever a file under src/ is newer than the last look.
plugin="$build/libhomestead_robbery.so"
stamp=$(mktemp)
good=$(mktemp)
sim_pid=""
finish() {
  local status=$1
  trap - INT TERM HUP
  # SIGTERM: a job started in the background ignores SIGINT.
  if [ -n "$sim_pid" ]; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$stamp" "$good"
  exit "$status"
}
trap 'finish 130' INT
trap 'finish 143' TERM
trap 'finish 129' HUP

"$build/homestead-sim" "$@" &
sim_pid=$!
while kill -0 "$sim_pid" 2>/dev/null; do
  sleep 0.5
  [ -n "$(find "$root/src" -newer "$stamp" -type f -print -quit)" ] || continue
  touch "$stamp"  # a save during the build is seen next time round
  cp -p "$plugin" "$good" 2>/dev/null || true
  if ! build_target homestead_robbery; then
    # A failed link may have removed the library; put the last good one back.
    cmp -s "$good" "$plugin" || cp -p "$good" "$plugin"
    echo "run.sh: the build failed (the compiler's messages are above);" \
      "the simulator keeps the last good plug-in" >&2
  fi
done
status=0
wait "$sim_pid" || status=$?
sim_pid=""
finish "$status"
