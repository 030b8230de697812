#!/usr/bin/env bash
# A press on a slice that opens a folder holding one that cannot be entered:
# the warning box appears while the button is still down. After the release
# the pointer must not stay grabbed: the box's OK button takes a click.
# Runs the program as an unprivileged user, so that permissions stop it.
#   capture.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
if [ -z "${CAPTURE_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool setpriv import convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  [ "$(id -u)" = 0 ] || { echo "SKIP: needs root to run the program as another user"; exit 77; }
  # -ac: the unprivileged program may use the display without its cookie.
  CAPTURE_INSIDE=1 exec xvfb-run -a -s "-ac -screen 0 800x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM XAUTHORITY
export LANG=C.UTF-8

. "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
chmod 755 "$work"
pid=""
trap 'kill $pid 2>/dev/null; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
# top: loose files (one quarter) and a (three quarters), which holds a folder
# that cannot be entered.
mkdir -p "$work/top/a/locked"
truncate -s 1M "$work/top/loose"
truncate -s 3M "$work/top/a/f"
chmod 000 "$work/top/a/locked"

cd "$work/top"
setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$work" "$build/quintavo" > "$work/log" 2>&1 &
pid=$!
win=$(waitwindow '^Quintavo$' "$pid")
eval "$(xdotool getwindowgeometry --shell "$win")"
WX=$X; WY=$Y; cx=$((WX + 125)); cy=$((WY + 125))
# Drawn: the empty pie's navy at its centre.
drawn() {
  import -window root "$work/screen.png"
  [ "$(convert "$work/screen.png" -format "%[hex:p{$cx,$cy}]" info: | cut -c1-6)" = 000080 ]
}
waituntil 10 drawn

# The parent command from a scans top: its walk warns once about a/locked.
xdotool mousemove $((WX + 12)) $((WY + 128)) click 1
box=$(waitwindow '^Avertissement$')
check "the walk of top warns" test -n "$box"
xdotool key Return
check "Return closes it" waituntil 5 gone '^Avertissement$'

# Press on a's slice and hold: the walk of a warns while the button is down.
xdotool mousemove $((cx - 40)) $((cy + 40)) mousedown 1
box=$(waitwindow '^Avertissement$')
check "the warning box appears during the press" test -n "$box"
xdotool mouseup 1
eval "$(xdotool getwindowgeometry --shell "$box")"
# The OK button sits at the box's lower right.
xdotool mousemove $((X + WIDTH - 50)) $((Y + HEIGHT - 22)) click 1
check "the box's OK takes the click" waituntil 5 gone '^Avertissement$'
finish
