#!/usr/bin/env bash
# Makes the package of a build tree with CPack in a scratch folder, unpacks it
# and checks it as its users meet it.
#   Linux: the tarball unpacks into one folder named after the package, which
#   still works moved elsewhere: the simulator plays the default robbery with
#   the plug-in beside it, and the host demo loads that plug-in.
#   Windows: the zip holds the plug-in, the player's guide and the licence;
#   the plug-in carries no debug sections but names its debug file, which
#   stays in the build tree; the host demo loads the plug-in from the zip.
#   package_test.sh CPACK BUILD_DIR WORK_DIR linux
#   package_test.sh CPACK BUILD_DIR WORK_DIR windows OBJDUMP EMULATOR DEMO
set -u
cpack=$1 build=$2 work=$3 system=$4

# The host demo lists the blips it sees: every homestead's start-up blip,
# however many the catalogue holds.
shows_start_up_blips() {
  grep -Eq '^[1-9][0-9]* blip\(s\) on the map' "$1" && grep -q 'label "Galdervine"' "$1"
}
fail() {
  echo "package_test: $*" >&2
  exit 1
}

rm -rf "$work" && mkdir -p "$work/unpacked" "$work/elsewhere"
if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack failed"
fi
package=$(find "$work/out" -maxdepth 1 -type f \( -name '*.tar.gz' -o -name '*.zip' \))
[ -f "$package" ] || fail "no package in $work/out"
(cd "$work/unpacked" && cmake -E tar xf "$package") || fail "cannot unpack $package"
entries=$(ls -A "$work/unpacked" | tr '\n' ' ')

if [ "$system" = linux ]; then
  name=$(basename "$package" .tar.gz)
  [ "$entries" = "$name " ] || fail "$package unpacks into '$entries', not one folder '$name'"
  mv "$work/unpacked/$name" "$work/elsewhere/" || fail "cannot move the unpacked folder"
  dir="$work/elsewhere/$name"
  (cd "$work" && env -u LD_LIBRARY_PATH "$dir/homestead-sim" --quiet --trace trace.jsonl) \
    >"$work/sim.txt" 2>&1 || { cat "$work/sim.txt" >&2; fail "the unpacked simulator failed"; }
  head -n 1 "$work/trace.jsonl" | grep -qF "\"plugin\":\"$dir/libhomestead_robbery.so\"" ||
    fail "the simulator did not load the plug-in beside it: $(head -c 300 "$work/trace.jsonl")"
  env -u LD_LIBRARY_PATH "$dir/homestead-host-demo" "$dir/libhomestead_robbery.so" 1 \
    >"$work/demo.txt" 2>&1 || { cat "$work/demo.txt" >&2; fail "the unpacked host demo failed"; }
  shows_start_up_blips "$work/demo.txt" || fail "host demo: $(cat "$work/demo.txt")"
else
  objdump=$5 emulator=$6 demo=$7
  [ "$entries" = "LICENSE.txt PLAYERS.txt homestead_robbery.dll " ] ||
    fail "$package holds '$entries'"
  dll="$work/unpacked/homestead_robbery.dll"
  sections=$("$objdump" -h "$dll") || fail "cannot read $dll"
  if grep -q ' \.debug_' <<<"$sections"; then fail "the packaged DLL carries debug sections"; fi
  grep -q ' \.gnu_debuglink' <<<"$sections" || fail "the packaged DLL names no debug file"
  "$objdump" -h "$build/homestead_robbery.dll.debug" | grep -q ' \.debug_info' ||
    fail "no debug information in $build/homestead_robbery.dll.debug"
  "$emulator" "$demo" "$dll" 1 >"$work/demo.txt" 2>&1 ||
    { cat "$work/demo.txt" >&2; fail "the host demo cannot run the packaged DLL"; }
  shows_start_up_blips "$work/demo.txt" || fail "host demo: $(cat "$work/demo.txt")"
fi
echo "$(basename "$package"): $entries"
