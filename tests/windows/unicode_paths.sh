#!/usr/bin/env bash
# The Windows programs with names beyond ASCII and with spaces, for every
# path they take: the simulator reads its scenario (--file), loads its
# plug-in (--plugin) and writes its trace and map (--trace, --map, the map in
# a folder named with a backslash) under exactly those names, names the
# scenario after its file, and names a path it cannot write as given; the
# host demo loads a plug-in by such a name.
#   unicode_paths.sh EMULATOR SIM DEMO PLUGIN WORK_DIR
set -u
emulator=$1 sim=$2 demo=$3 plugin=$4 work=$5
# Wine reads the command line in the locale's encoding.
export LC_ALL=C.UTF-8
status=0
fail() {
  echo "unicode_paths: $*" >&2
  status=1
}

rm -rf "$work" && mkdir -p "$work/ünï dir" && cd "$work" || exit 1
cp "$plugin" "plug-in é.dll" || exit 1
printf 'wait 2s\nexpect startup\n' >"szenario ä.scn"

"$emulator" "$sim" --file "szenario ä.scn" --plugin "plug-in é.dll" --trace "spür ö.jsonl" \
  --map 'ünï dir\kärte ü.svg' >timeline.txt 2>err.txt
run=$?
[ "$run" = 0 ] || fail "the run ended with status $run: $(cat err.txt)"
names=$(ls -A | sort | tr '\n' '|')
[ "$names" = "err.txt|plug-in é.dll|spür ö.jsonl|szenario ä.scn|timeline.txt|ünï dir|" ] ||
  fail "files written: $names"
[ -s "ünï dir/kärte ü.svg" ] || fail "no map in 'ünï dir': $(ls -A "ünï dir")"
head -n 1 "spür ö.jsonl" | grep -qF '"scenario":"szenario ä"' ||
  fail "trace header: $(head -c 200 "spür ö.jsonl")"
head -n 1 "spür ö.jsonl" | grep -qF 'plug-in é.dll"' ||
  fail "trace header: $(head -c 300 "spür ö.jsonl")"
grep -q '^summary: szenario ä, seed' timeline.txt || fail "timeline: $(tail -n 1 timeline.txt)"

"$emulator" "$sim" --file "szenario ä.scn" --plugin "plug-in é.dll" --map 'nö dir\k.svg' \
  >timeline.txt 2>err.txt
run=$?
[ "$run" = 2 ] || fail "a map in a missing folder ended with status $run"
grep -qF "cannot write 'nö dir\\k.svg'" err.txt || fail "a missing folder: $(cat err.txt)"

"$emulator" "$demo" "plug-in é.dll" 1 >demo.txt 2>&1 || fail "host demo: $(cat demo.txt)"
grep -q '^2 blip(s) on the map' demo.txt || fail "host demo: $(cat demo.txt)"
exit $status
