#!/usr/bin/env bash
# The real program under a window manager, at scale factors 1, 1.5 and 2: the
# help dialog's first showing and the warning box, whatever the length of its
# path, are centred over the main window by their outer size, frame included,
# and the folder browser on the screen; the manager's close request ends the
# program, warning box or not.
# Positions are read with xwininfo (the client's place on the screen) and the
# frame the manager reports, then probed on a screenshot: the frame's outer
# edge is there, the pixel beyond it is not the frame. Every position is in
# the screen's pixels; a logical position at scale s lands on round(x * s), so
# "centred" is the reachable place nearest the centre (the left or upper one
# of two as near).
#   wm.sh BUILD_DIR WMCLOSE
set -uo pipefail
build=$(cd "$1" && pwd)
wmclose=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
if [ -z "${WM_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool openbox xprop xwininfo import convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  WM_INSIDE=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
export LANG=C.UTF-8

. "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
wm=""; pid=""
trap 'kill $pid $wm 2>/dev/null; chmod -R u+rwx "$work"; rm -rf "$work"' EXIT
HOME=$work openbox --sm-disable > "$work/wm.log" 2>&1 &
wm=$!
managed() { [[ "$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null)" == *'window id'* ]]; }
waituntil 10 managed
check "the window manager runs" kill -0 $wm
kill -0 $wm 2>/dev/null || { cat "$work/wm.log"; finish; exit; }

# outer WINDOW: sets L T W H, the frame's left, top, width and height on the
# screen, and FL FT, the frame's left and top widths.
outer() {
  local info l r t b
  info=$(xwininfo -id "$1")
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | sed 's/,/ /g')
  FL=${l:-0}; FT=${t:-0}
  L=$(($(sed -n 's/.*Absolute upper-left X: *//p' <<< "$info") - FL))
  T=$(($(sed -n 's/.*Absolute upper-left Y: *//p' <<< "$info") - FT))
  W=$(($(sed -n 's/.*Width: *//p' <<< "$info") + FL + ${r:-0}))
  H=$(($(sed -n 's/.*Height: *//p' <<< "$info") + FT + ${b:-0}))
}
# nearest TARGET INSET: the outer edge nearest TARGET that a window whose own
# area starts INSET pixels inside its frame can take at this scale.
nearest() {
  awk -v t="$1" -v f="$2" -v s="$scale" 'BEGIN { g = int((t + f) / s)
    for (x = g - 1; x <= g + 2; x++) { d = int(x * s + 0.5) - f; e = d > t ? d - t : t - d
      if (x == g - 1 || e < best) { best = e; at = d } }
    print at }'
}
# at X Y: the screen pixel of the main window's logical point X Y.
at() { awk -v x="$1" -v y="$2" -v s="$scale" -v mx="$MX" -v my="$MY" 'BEGIN { print int(mx + x * s), int(my + y * s) }'; }
pixel() { convert "$work/screen.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6; }
# edges: the frame's four outer edges, read at their middles, are one colour,
# and the pixel beyond each edge is another.
edges() {
  import -window root "$work/screen.png"
  local c mx=$((L + W / 2)) my=$((T + H / 2))
  c=$(pixel $L $my)
  [ "$(pixel $((L + W - 1)) $my)" = "$c" ] && [ "$(pixel $mx $T)" = "$c" ] && [ "$(pixel $mx $((T + H - 1)))" = "$c" ] &&
    [ "$(pixel $((L - 1)) $my)" != "$c" ] && [ "$(pixel $((L + W)) $my)" != "$c" ] &&
    [ "$(pixel $mx $((T - 1)))" != "$c" ] && [ "$(pixel $mx $((T + H)))" != "$c" ]
}
# placed NAME WINDOW LEFT TOP: the window is framed, its frame's outer
# top-left is the one nearest LEFT TOP, and the screen shows its edges there.
placed() {
  outer "$2"
  local left top
  left=$(nearest "$3" "$FL"); top=$(nearest "$4" "$FT")
  echo "$1 at $scale: outer $L,$T ${W}x$H, expected $left,$top"
  check "$1 is framed at $scale" test "$FT" -gt 0
  check "$1 is centred across at $scale" test "$L" = "$left"
  check "$1 is centred down at $scale" test "$T" = "$top"
  check "the screen shows $1's frame there at $scale" waituntil 5 edges
}
# centred NAME WINDOW: over the main window's outer rectangle.
centred() {
  outer "$2"
  placed "$1" "$2" $((MX + (MW - W) / 2)) $((MY + (MH - H) / 2))
}

# top holds the folder the program starts in and, 1,456 bytes of path down
# in names of 200 bytes, one that cannot be entered.
long="$work/top"
while [ ${#long} -lt $((1456 - 7)) ]; do long="$long/$(printf 'd%.0s' $(seq 200))"; done
long="${long:0:$((1456 - 7))}/locked"
mkdir -p "$work/top/start" "$long/x"
chmod 000 "$long"
# Root enters any folder: the program then runs without that power.
run=()
[ "$(id -u)" = 0 ] && run=(setpriv --bounding-set=-dac_override,-dac_read_search)
read -r SW SH < <(xwininfo -root | sed -n 's/.*Width: *//p; s/.*Height: *//p' | paste -s -d ' ')

for scale in 1 1.5 2; do
  (cd "$work/top/start" && QT_SCALE_FACTOR=$scale exec "${run[@]}" "$build/quintavo") > "$work/log" 2>&1 &
  pid=$!
  win=$(waitwindow '^Quintavo$' "$pid")
  check "the main window appears at $scale" test -n "$win"
  [ -n "$win" ] || break
  outer "$win"
  MX=$L; MY=$T; MW=$W; MH=$H
  check "the main window is $MW pixels square, without a frame, at $scale" \
    test "$MW" = "$(awk -v s=$scale 'BEGIN { print int(250 * s + 0.5) }')" -a "$MH" = "$MW" -a "$FT" = 0

  xdotool mousemove $(at 126 237) click 1
  help=$(waitwindow '^Aide de Quintavo$')
  centred "the help dialog" "$help"
  check "the manager is asked to close the help dialog at $scale" "$wmclose" "$help"
  check "the help dialog closes at $scale" waituntil 5 gone '^Aide de Quintavo$'

  # The folder browser, opened from the folder dialog, on the whole screen.
  xdotool mousemove $(at 235 128) click 1
  dlg=$(waitwindow '^Dossier à analyser$')
  xdotool key --clearmodifiers alt+Down
  browser=$(waitwindow '^Chercher dans le dossier$')
  outer "$browser"
  placed "the folder browser" "$browser" $(((SW - W) / 2)) $(((SH - H) / 2))
  xdotool key Escape
  check "Escape closes the browser at $scale" waituntil 5 gone '^Chercher dans le dossier$'
  xdotool key Escape
  check "Escape closes the folder dialog at $scale" waituntil 5 gone '^Dossier à analyser$'

  # The parent command walks top: a box for the folder it cannot enter.
  xdotool mousemove $(at 12 128) click 1
  box=$(waitwindow '^Avertissement$')
  centred "the warning box" "$box"
  check "the warning box is within the screen at $scale" test "$L" -ge 0 -a $((L + W)) -le "$SW" -a "$T" -ge 0 -a $((T + H)) -le "$SH"
  # The manager asks the main window to close while the box is open.
  check "the manager is asked to close the main window at $scale" "$wmclose" "$win"
  ended() { ! kill -0 $pid 2>/dev/null; }
  check "a close request during a warning box ends the program at $scale" waituntil 3 ended
  if ended; then
    wait $pid 2>/dev/null; status=$?
    check "with status 0 at $scale" test "$status" = 0
    pid=""
  else
    kill $pid
  fi
done
finish
