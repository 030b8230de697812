#!/usr/bin/env bash
# The real program under a window manager: the help dialog's first showing and
# every warning box are centred over the main window by their outer size, frame
# included; the manager's close request ends the program, warning box or not.
# Positions are read with xwininfo (the client's place on the screen) and the
# frame the manager reports; xdotool's geometry counts the frame twice here.
#   wm.sh BUILD_DIR WMCLOSE
set -uo pipefail
build=$(cd "$1" && pwd)
wmclose=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
if [ -z "${WM_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool openbox xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  WM_INSIDE=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
export LANG=C.UTF-8

. "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
wm=""; pid=""
trap 'kill $pid $wm 2>/dev/null; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
HOME=$work openbox --sm-disable > "$work/wm.log" 2>&1 &
wm=$!
for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
check "the window manager runs" kill -0 $wm
kill -0 $wm 2>/dev/null || { cat "$work/wm.log"; finish; exit; }

waitfor() { # title [pid] -> the visible window's id, or nothing after 10 s
  local w=""
  for _ in $(seq 100); do
    w=$(xdotool search --onlyvisible ${2:+--pid "$2"} --name "$1" 2>/dev/null | head -1)
    [ -n "$w" ] && break; sleep 0.1
  done
  echo "$w"
}

# outer WINDOW: sets L T W H, the frame's left, top, width and height on the screen.
outer() {
  local x y w h l r t b
  x=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left X: *//p')
  y=$(xwininfo -id "$1" | sed -n 's/.*Absolute upper-left Y: *//p')
  w=$(xwininfo -id "$1" | sed -n 's/.*Width: *//p')
  h=$(xwininfo -id "$1" | sed -n 's/.*Height: *//p')
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | sed 's/,/ /g')
  L=$((x - ${l:-0})); T=$((y - ${t:-0})); W=$((w + ${l:-0} + ${r:-0})); H=$((h + ${t:-0} + ${b:-0}))
  FRAMED=$(( ${t:-0} > 0 ))
}
# centred NAME WINDOW: checks that its outer rectangle is centred over the main window's.
centred() {
  outer "$2"
  echo "$1: outer $L,$T ${W}x$H over main $MX,$MY ${MW}x$MH"
  check "$1 is framed" test "$FRAMED" = 1
  check "$1 is centred across by its outer width" test "$L" = $((MX + (MW - W) / 2))
  check "$1 is centred down by its outer height" test "$T" = $((MY + (MH - H) / 2))
}

# top holds the folder the program starts in and two that cannot be entered.
mkdir -p "$work/top/start" "$work/top/locked1/x" "$work/top/locked2/x"
chmod 000 "$work/top/locked1" "$work/top/locked2"
# Root enters any folder: the program then runs without that power.
run=()
[ "$(id -u)" = 0 ] && run=(setpriv --bounding-set=-dac_override,-dac_read_search)
cd "$work/top/start"
"${run[@]}" "$build/quintavo" > "$work/log" 2>&1 &
pid=$!
win=$(waitfor '^Quintavo$' "$pid")
check "the main window appears" test -n "$win"
[ -n "$win" ] || { finish; exit; }
sleep 1
outer "$win"
MX=$L; MY=$T; MW=$W; MH=$H
check "the main window has no frame" test "$MW" = 250 -a "$MH" = 250

xdotool mousemove $((MX + 126)) $((MY + 237)) click 1
help=$(waitfor '^Aide de Quintavo$')
sleep 1
centred "the help dialog" "$help"
check "the manager is asked to close the help dialog" "$wmclose" "$help"
sleep 0.5
check "the help dialog closes" test -z "$(xdotool search --onlyvisible --name '^Aide de Quintavo$' 2>/dev/null)"

# The parent command walks top: one box per folder that cannot be entered.
xdotool mousemove $((MX + 12)) $((MY + 128)) click 1
box=$(waitfor '^Avertissement$')
sleep 0.5
centred "the warning box" "$box"
# The manager asks the main window to close while the box is open.
check "the manager is asked to close the main window" "$wmclose" "$win"
for _ in $(seq 30); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
ended=1; kill -0 $pid 2>/dev/null && ended=0
check "a close request during a warning box ends the program" test "$ended" = 1
if [ "$ended" = 1 ]; then
  wait $pid 2>/dev/null; status=$?
  check "with status 0" test "$status" = 0
  pid=""
fi
finish
