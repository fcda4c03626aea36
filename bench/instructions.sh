#!/usr/bin/env bash
# Instruction counts of the simulator under valgrind's callgrind, which do
# not depend on the machine's load:
#   - one frame of the real plug-in and of the empty-script plug-in, with the
#     player idle (500 m from homestead 1) and in the band (50 m from it),
#     each the difference between an 11-minute and a 1-minute run divided by
#     the 36,000 frames between them, and the plug-in's frame as a multiple of
#     the empty script's;
#   - the default robbery untraced and traced, and the ratio of the two;
#   - a run that plays nothing against one that prints the version.
#
# Usage: bench/instructions.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
sim=$build/homestead-sim
plugin=$build/libhomestead_robbery.so
empty=$build/bench/libempty_script.so
for file in "$sim" "$plugin" "$empty"; do
  [[ -e $file ]] || { echo "instructions.sh: $file is missing; build the release preset" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "instructions.sh: valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Instructions of one run of the simulator with the given arguments.
instructions() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$sim" "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : //p'
}

# scenario NAME Y MINUTES: the player stands still at (2626.33, Y) for MINUTES.
scenario() {
  printf 'name %s\nstart at 2626.33 %s 115.693\nwait %s min\n' "$1" "$2" "$3" >"$work/$1-$3.scn"
}

declare -A perFrame
for place in idle:1195.275 band:1645.275; do
  name=${place%%:*}
  y=${place#*:}
  scenario "$name" "$y" 1
  scenario "$name" "$y" 11
  for library in plugin empty; do
    path=$plugin
    [[ $library == empty ]] && path=$empty
    short=$(instructions --quiet --plugin "$path" --file "$work/$name-1.scn")
    long=$(instructions --quiet --plugin "$path" --file "$work/$name-11.scn")
    perFrame[$name-$library]=$(((long - short) / 36000))
  done
  printf '%-5s frame: plug-in %6d, empty script %5d instructions, ratio %s\n' "$name" \
    "${perFrame[$name-plugin]}" "${perFrame[$name-empty]}" \
    "$(awk -v a="${perFrame[$name-plugin]}" -v b="${perFrame[$name-empty]}" 'BEGIN { printf "%.2f", a / b }')"
done

untraced=$(instructions --quiet)
traced=$(instructions --quiet --trace "$work/trace.jsonl")
printf 'robbery: untraced %d, traced %d instructions, ratio %s\n' "$untraced" "$traced" \
  "$(awk -v a="$traced" -v b="$untraced" 'BEGIN { printf "%.2f", a / b }')"

printf 'name nothing\nwait 0 s\n' >"$work/nothing.scn"
version=$(instructions --version)
nothing=$(instructions --quiet --file "$work/nothing.scn")
printf 'start-up: --version %d, a run that plays nothing %d instructions, ratio %s\n' "$version" \
  "$nothing" "$(awk -v a="$nothing" -v b="$version" 'BEGIN { printf "%.2f", a / b }')"
