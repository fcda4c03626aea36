#!/usr/bin/env bash
# Plays one built-in scenario with the Linux and the Windows simulator for
# each seed given, and fails unless both wrote the same timeline, trace, map
# and replay page, byte for byte; then sweeps the seeds of SWEEP (A-B) with
# two jobs on both and fails unless the two summaries and exit statuses are
# the same. The one exception is what the trace's header record says of the
# plug-in it loaded (its path and the identity of its build): that is a
# different file on each system, so those two fields are masked.
#   same_outputs.sh LINUX_SIM EMULATOR WINDOWS_SIM WORK_DIR SCENARIO SWEEP SEED...
set -u
linux_sim=$1 emulator=$2 windows_sim=$3 work=$4 scenario=$5 sweep=$6
shift 6
if [ ! -x "$linux_sim" ]; then
  echo "no Linux simulator at '$linux_sim': build the dev preset first" >&2
  exit 1
fi
mkdir -p "$work"
status=0
for seed in "$@"; do
  for system in linux windows; do
    dir="$work/$system-$seed"
    rm -rf "$dir" && mkdir -p "$dir"
    if [ "$system" = linux ]; then
      run=("$linux_sim")
    else
      run=("$emulator" "$windows_sim")
    fi
    "${run[@]}" --scenario "$scenario" --seed "$seed" \
      --trace "$dir/trace.jsonl" --map "$dir/map.svg" --replay "$dir/replay.html" \
      >"$dir/timeline.txt" 2>"$dir/stderr.txt"
    echo $? >"$dir/status"
  done
  for system in linux windows; do
    sed -E '1s/"plugin":"([^"\\]|\\.)*"/"plugin":"-"/; 1s/"plugin_build":\{[^}]*\}/"plugin_build":"-"/' \
      "$work/$system-$seed/trace.jsonl" >"$work/$system-$seed/trace-masked.jsonl"
  done
  for file in status timeline.txt trace-masked.jsonl map.svg replay.html; do
    if ! cmp -s "$work/linux-$seed/$file" "$work/windows-$seed/$file"; then
      echo "seed $seed: $file differs between Linux and Windows:" >&2
      diff "$work/linux-$seed/$file" "$work/windows-$seed/$file" | head -n 10 >&2
      status=1
    fi
  done
  [ -s "$work/linux-$seed/trace.jsonl" ] || { echo "seed $seed: no trace written" >&2; status=1; }
  [ -s "$work/linux-$seed/replay.html" ] || { echo "seed $seed: no replay page written" >&2; status=1; }
  echo "seed $seed: $(cat "$work/linux-$seed/status") on both, $(wc -l <"$work/linux-$seed/trace.jsonl") trace lines"
done
for system in linux windows; do
  dir="$work/$system-sweep"
  rm -rf "$dir" && mkdir -p "$dir"
  if [ "$system" = linux ]; then
    run=("$linux_sim")
  else
    run=("$emulator" "$windows_sim")
  fi
  "${run[@]}" --scenario "$scenario" --seeds "$sweep" -j 2 >"$dir/summary.txt" 2>"$dir/stderr.txt"
  echo $? >"$dir/status"
done
for file in status summary.txt; do
  if ! cmp -s "$work/linux-sweep/$file" "$work/windows-sweep/$file"; then
    echo "sweep $sweep: $file differs between Linux and Windows:" >&2
    diff "$work/linux-sweep/$file" "$work/windows-sweep/$file" | head -n 10 >&2
    status=1
  fi
done
echo "sweep $sweep: $(head -n 1 "$work/linux-sweep/summary.txt")"
exit $status
