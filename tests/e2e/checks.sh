# Sourced by the end-to-end scripts: named checks, counted, and the closing
# line CTest reads.
fails=0; passes=0
check() { # name, condition...
  local name=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $name"; else fails=$((fails + 1)); echo "FAIL: $name"; fi
}
# Prints the counts; the script's status is 0 only when nothing failed.
finish() {
  echo "$passes passed, $fails failed"
  [ "$fails" = 0 ]
}
