#!/usr/bin/env bash
# homestead-sim.exe --watch under Wine: it plays the default robbery, and
# plays it again when its plug-in file is replaced by another build (a plug-in
# whose script main returns), telling the changed lines and the verdict; the
# private copies of the library it loads are gone afterwards.
#   watch.sh WINDOWS_SIM PLUGIN_DLL OTHER_DLL WORK_DIR
# Wine runs with the build's prefix (WINEPREFIX, set by CTest) and its output
# goes to files, so that it can be read while the loop goes on.
set -u
sim=$1 plugin=$2 other=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
cp "$plugin" "$work/homestead_robbery.dll"
out="$work/out.txt"
WINEDEBUG=-all wine "$sim" --watch --plugin "$work/homestead_robbery.dll" \
  >"$out" 2>"$work/err.txt" </dev/null &
pid=$!

fail() {
  echo "watch.sh: $*" >&2
  echo "--- its output:" >&2
  cat "$out" "$work/err.txt" >&2
  kill "$pid" 2>/dev/null
  exit 1
}
# Waits up to 60 s for a line of the output to match.
await() {
  for _ in $(seq 600); do
    grep -q -- "$1" "$out" && return 0
    sleep 0.1
  done
  return 1
}

await "for changes (Ctrl-C ends)$" || fail "it did not start watching"
cp "$other" "$work/next.tmp" && mv "$work/next.tmp" "$work/homestead_robbery.dll"
await "changed: playing again$" || fail "it did not see the new build"
await "^summary: robbery, seed 1: FAILED" || fail "it did not tell the new verdict"
kill "$pid"
wait "$pid" 2>/dev/null
grep -q "^+ .*! host error: .*the script main of plug-in '.*' returned" "$out" ||
  fail "the changed lines do not show the new build's error"
[ "$(grep -c "changed: playing again$" "$out")" = 1 ] || fail "more than one replay"
copies=$(find "$WINEPREFIX/drive_c" -name 'homestead-sim-*' 2>/dev/null)
[ -z "$copies" ] || fail "private copies left behind: $copies"
echo "watch.sh: one replay, its changes and verdict told"
