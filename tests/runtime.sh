#!/usr/bin/env bash
# Start-up creates no runtime folder: neither the toolkit's fallback
# TMPDIR/runtime-USER when XDG_RUNTIME_DIR is unset, nor the folder it names
# when that folder is missing; an existing one is left as it is.
#   runtime.sh BUILD_DIR
set -uo pipefail
exe=$1/quintavo
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tmp"
mkdir -m 700 "$scratch/existing"
fails=0; passes=0
check() { # name, condition...
  local name=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $name"; else fails=$((fails + 1)); echo "FAIL: $name"; fi
}
# Runs the program for a moment off-screen with the given environment changes.
run() {
  env "$@" QT_QPA_PLATFORM=offscreen TMPDIR="$scratch/tmp" timeout -s TERM 2 "$exe" > "$scratch/log" 2>&1
  return 0
}
empty() { [ -z "$(ls -A "$1")" ]; }
quiet() { ! grep -q QStandardPaths "$scratch/log"; }

run -u XDG_RUNTIME_DIR
check "unset: no runtime folder under TMPDIR" empty "$scratch/tmp"
check "unset: no complaint about it" quiet
run XDG_RUNTIME_DIR="$scratch/missing"
check "missing: the named folder is not created" test ! -e "$scratch/missing"
check "missing: no runtime folder under TMPDIR" empty "$scratch/tmp"
run XDG_RUNTIME_DIR="$scratch/existing"
check "existing: left empty" empty "$scratch/existing"
check "existing: nothing under TMPDIR" empty "$scratch/tmp"
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
