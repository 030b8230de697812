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
# Runs the command until it succeeds, for SECONDS seconds at most; its
# status is the last run's.
waituntil() { # seconds command...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}
windowid() { xdotool search --onlyvisible ${2:+--pid "$2"} --name "$1" 2>/dev/null | head -1; }
# waitwindow TITLE [PID]: the visible window of that title (of that process),
# waited for up to 10 s; nothing after that.
waitwindow() {
  local deadline=$((SECONDS + 10)) w=""
  until w=$(windowid "$@"); [ -n "$w" ] || [ "$SECONDS" -ge "$deadline" ]; do sleep 0.1; done
  echo "$w"
}
# gone TITLE: no visible window has that title.
gone() { [ -z "$(windowid "$1")" ]; }
