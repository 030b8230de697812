#!/usr/bin/env bash
# The real program as a native Wayland client. Under weston's headless backend:
# the window's shape on a screenshot, pixel for pixel the X11 window inside the
# circle and what lies behind outside it. The headless backend has no seat, so
# the pointer and the keys are driven through weston's X11 backend inside Xvfb:
# drags with each button handed to the compositor, the corners left to what is
# behind, the tip after a drag, slices opened by a click and by a press that
# drags, and the dialogs as the window's own. Before those: what `make run`
# installs for a Wayland session, and the start-up line without Qt's plugin.
#   wayland.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
if [ -z "${WAYLAND_TEST_INSIDE:-}" ]; then
  for tool in weston weston-screenshooter convert compare; do
    command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" > /dev/null \
    || { echo "SKIP: Qt's Wayland plugin (qt6-wayland) is not installed"; exit 77; }
  if command -v xvfb-run > /dev/null && command -v xdotool > /dev/null && command -v import > /dev/null; then
    WAYLAND_TEST_INSIDE=x11 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
  fi
  echo "NOTE: xvfb-run, xdotool or import is missing: no X11 reference and no pointer"
  export WAYLAND_TEST_INSIDE=alone
fi
unset QT_QPA_PLATFORM WAYLAND_DISPLAY XDG_SESSION_TYPE
export LANG=C.UTF-8
. "$(dirname "$0")/e2e/checks.sh"

work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2> /dev/null; done; rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# A desktop of one colour, nothing else on it, never locked.
background=00FF00
cat > "$work/weston.ini" << EOF
[core]
idle-time=0
[shell]
background-color=0xff$background
panel-position=none
locking=false
EOF
# The tree: the program starts in top/start; top holds loose files (one
# quarter) and start (three quarters); start holds a (one quarter) and b.
mkdir -p "$work/top/start/a" "$work/top/start/b" "$work/shots"
truncate -s 1M "$work/top/loose" "$work/top/start/a/f"
truncate -s 2M "$work/top/start/b/f"

# Polls `condition...` until it holds, for at most `seconds`.
wait_for() { # seconds condition...
  local until=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -ge "$until" ] && return 1
    sleep 0.1
  done
}
# Starts weston with `backend` on socket `name`; false when it does not come up.
start_weston() { # name backend options...
  local name=$1 backend=$2; shift 2
  weston --backend="$backend" --use-pixman --socket="$name" --config="$work/weston.ini" --idle-time=0 --debug "$@" \
    > "$work/$name.log" 2>&1 &
  pids+=($!)
  wait_for 20 test -S "$XDG_RUNTIME_DIR/$name"
}
# Starts the program with `socket` as its Wayland display, its protocol log in
# `log`, and the variables given.
start_client() { # socket log name=value...
  local socket=$1 out=$2; shift 2
  (cd "$work/top/start" && exec env WAYLAND_DISPLAY="$socket" WAYLAND_DEBUG=client HOME="$work" "$@" \
    "$build/quintavo") > "$out" 2>&1 &
  client=$!
  pids+=($client)
}
pixel() { # image x y -> RRGGBB
  convert "$1" -format "%[hex:p{$2,$3}]" info: | cut -c1-6
}
# The window's outer box on `image`: the box of its blue ring; sets WX WY WW WH.
window_box() { # image
  local box
  box=$(convert "$1" -fill black +opaque "#0000FF" -format "%@" info: 2> /dev/null)
  [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
  WW=${BASH_REMATCH[1]}; WH=${BASH_REMATCH[2]}; WX=${BASH_REMATCH[3]}; WY=${BASH_REMATCH[4]}
}

# --- make run brings Qt's Wayland plugin for a session that is Wayland only,
# or when Qt is told to use Wayland, and only then (read from a dry run).
plugin_wanted() { # name=value... -> yes or no
  env -i PATH="$PATH" HOME="$work" "$@" make --no-print-directory -n -C "$src" run BUILD_DIR="$work/never" 2> /dev/null \
    | sed -n 's/.*for p in \([^;]*\); do.*/\1/p' | tr ' ' '\n' | grep -qx qt6-wayland && echo yes || echo no
}
for row in "yes WAYLAND_DISPLAY=wayland-0" "yes DISPLAY= WAYLAND_DISPLAY=wayland-0" "no DISPLAY=:0 WAYLAND_DISPLAY=wayland-0" \
           "no DISPLAY=:0" "yes DISPLAY=:0 QT_QPA_PLATFORM=wayland"; do
  set -- $row
  want=$1; shift
  check "make run with $*: Qt's Wayland plugin installed: $want" test "$(plugin_wanted "$@")" = "$want"
done

# --- Without Qt's Wayland plugin (the program beside a qt.conf that names a
# plugin folder without it), a Wayland session gets one line naming its package.
platforms=$(dirname "$(compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so" | head -1)")
mkdir -p "$work/bare/plugins/platforms"
for plugin in "$platforms"/*.so; do
  [[ $plugin == */libqwayland-* ]] || ln -s "$plugin" "$work/bare/plugins/platforms/"
done
cp "$build/quintavo" "$work/bare/"
printf '[Paths]\nPlugins=%s\n' "$work/bare/plugins" > "$work/bare/qt.conf"
env DISPLAY= WAYLAND_DISPLAY=wayland-7391 timeout 20 "$work/bare/quintavo" > /dev/null 2> "$work/bare/err"
status=$?
check "without Qt's Wayland plugin: status 1 and one line naming its package" test "$status" = 1 -a \
  "$(cat "$work/bare/err")" = "quintavo : impossible d'ouvrir la session graphique (DISPLAY=, WAYLAND_DISPLAY=wayland-7391) : le greffon Wayland de Qt manque (paquet qt6-wayland)"

# --- Under the headless backend: the window's shape.
wshot() { # -> $work/screen.png, the headless compositor's screen
  rm -f "$work/shots/"*.png
  (cd "$work/shots" && WAYLAND_DISPLAY=quintavo-headless weston-screenshooter > /dev/null 2>&1)
  local shot
  shot=$(ls "$work/shots/"*.png 2> /dev/null | head -1)
  [ -n "$shot" ] && mv "$shot" "$work/screen.png"
}
shown_on_headless() { wshot && window_box "$work/screen.png" && [ "$WW" = 250 ] && [ "$WH" = 250 ]; }
if ! start_weston quintavo-headless headless-backend.so --width=640 --height=480; then
  tail -5 "$work/quintavo-headless.log"
  echo "SKIP: weston's headless backend does not start here"
  exit 77
fi
# A session that is Wayland only, though its DISPLAY variable is there, empty.
start_client quintavo-headless "$work/headless.log" DISPLAY=
shown=no; wait_for 30 shown_on_headless && shown=yes
check "the window shows on the headless compositor, 250 pixels across" test $shown = yes
[ $shown = yes ] || { finish; exit; }
check "as a Wayland surface, Qt not told to" grep -q 'xdg_surface@[0-9]*\.get_toplevel' "$work/headless.log"
convert "$work/screen.png" -crop 250x250+$WX+$WY +repage "$work/wayland.png"
convert "$work/wayland.png" txt:- | sed -n 's/^\([0-9]*\),\([0-9]*\): .*#\([0-9A-F]\{6\}\).*/\1 \2 \3/p' \
  > "$work/wayland.txt"
probe() { awk -v x="$1" -v y="$2" '$1 == x && $2 == y { print $3; found = 1; exit } END { if (!found) print "none" }' \
  "$work/wayland.txt"; }
for corner in "0 0" "249 0" "0 249" "249 249"; do
  check "the corner ($corner) shows what is behind" test "$(probe $corner)" = $background
done
check "so does the chart's corner, outside the circle" test "$(probe 22 22)" = $background
check "the rim at the middle of each side is the window's" \
  test "$(probe 0 125)$(probe 249 125)$(probe 125 0)$(probe 125 249)" = 0000FF0000FF0000FF0000FF
# Along the top row and the diagonal: the last pixel outside, the first inside.
first_inside() { # row|column|diagonal -> steps from (0, 0) to the first pixel that is not the background
  awk -v along="$1" -v bg=$background '
    $3 != bg && ((along == "row" && $2 == 0) || (along == "column" && $1 == 0) || (along == "diagonal" && $1 == $2)) {
      i = along == "column" ? $2 : $1; if (best == "" || i < best) best = i }
    END { print best == "" ? "none" : best }' "$work/wayland.txt"
}
top=$(first_inside row)
diag=$(first_inside diagonal)
check "the top row's first pixel inside the circle (x=$top) is the ring, the one before it behind" \
  test "$top" != none -a "$(probe "$top" 0)" = 0000FF -a "$(probe $((top - 1)) 0)" = $background
check "the same on the diagonal (at $diag)" \
  test "$diag" != none -a "$(probe "$diag" "$diag")" = 0000FF -a "$(probe $((diag - 1)) $((diag - 1)))" = $background
check "the circle is round: the top row and the left column enter it at the same place" \
  test "$(first_inside column)" = "$top"
kill "$client" 2> /dev/null

if [ "$WAYLAND_TEST_INSIDE" = alone ]; then
  finish
  exit
fi

# --- The same window under X11: chosen where both servers are there, and,
# inside its shape, every pixel the same as under Wayland.
xdotool mousemove 0 0
(cd "$work/top/start" && exec env -u QT_QPA_PLATFORM WAYLAND_DISPLAY=quintavo-headless HOME="$work" \
  "$build/quintavo") > "$work/x11.log" 2>&1 &
client=$!
pids+=($client)
win=$(timeout 30 xdotool search --sync --onlyvisible --pid "$client" --name '^Quintavo$' | head -1)
check "with both an X11 and a Wayland server the window opens on X11" test -n "$win"
x11_drawn() {
  import -window root "$work/x.png" && window_box "$work/x.png" && [ "$WW" = 250 ] && [ "$WH" = 250 ]
}
if [ -n "$win" ] && wait_for 30 x11_drawn; then
  # Outside its shape the X11 window shows the black root: filled from the
  # corners, that is the outside; under Wayland it must be the background.
  convert "$work/x.png" -crop 250x250+$WX+$WY +repage -fill "#FF00FF" \
    -draw "color 0,0 floodfill" -draw "color 249,0 floodfill" -draw "color 0,249 floodfill" \
    -draw "color 249,249 floodfill" "$work/x11-outside.png"
  convert "$work/wayland.png" -fill "#FF00FF" -opaque "#$background" "$work/wayland-outside.png"
  differ=$(compare -metric AE "$work/x11-outside.png" "$work/wayland-outside.png" null: 2>&1)
  check "pixel for pixel the X11 window inside the circle, what is behind outside it (${differ} differ)" test "$differ" = 0
else
  check "the X11 window is drawn" false
fi
kill "$client" 2> /dev/null

# --- Pointer and keys, through weston's X11 backend inside Xvfb.
if ! start_weston quintavo-x11 x11-backend.so --width=800 --height=600; then
  tail -5 "$work/quintavo-x11.log"
  echo "NOTE: weston's X11 backend does not start here: no pointer or keys under Wayland"
  finish
  exit
fi
output=$(timeout 20 xdotool search --sync --class '^Weston Compositor$' | head -1)
eval "$(xdotool getwindowgeometry --shell "$output")"
OX=$X; OY=$Y
xshot() { import -window root -crop 800x600+$OX+$OY +repage "$work/screen.png"; }
log="$work/driven.log"
# Told to use Wayland where X11 is there too.
start_client quintavo-x11 "$log" QT_QPA_PLATFORM=wayland
# The window at (x, y) on the compositor's screen, its ring whole.
at() { # x y
  xdotool mousemove $((OX + 799)) $((OY + 599))
  xshot && window_box "$work/screen.png" && [ "$WW $WH $WX $WY" = "250 250 $1 $2" ]
}
somewhere() { xshot && window_box "$work/screen.png" && [ "$WW $WH" = "250 250" ]; }
shown=no; wait_for 30 somewhere && shown=yes
check "the window shows on the compositor driven by Xvfb" test $shown = yes
[ $shown = yes ] || { finish; exit; }
X=$WX; Y=$WY
count() { grep -c "$1" "$log"; }
more() { [ "$(count "$1")" -gt "$2" ]; } # pattern n: the log holds more than n lines of it
leave='wl_pointer@[0-9]*\.leave('
move='xdg_toplevel@[0-9]*\.move('

# The surface that has the keyboard now: the window's, or a dialog's.
keyboard_on() { # window|dialog
  local main last
  main=$(sed -n 's/.*wl_keyboard@[0-9]*\.enter([0-9]*, \(wl_surface@[0-9]*\),.*/\1/p' "$log" | head -1)
  last=$(grep 'wl_keyboard@[0-9]*\.\(enter\|leave\)(' "$log" | tail -n 1)
  [[ $last == *".enter("* ]] || return 1
  if [ "$1" = window ]; then [[ $last == *", $main,"* ]]; else [[ $last != *", $main,"* ]]; fi
}
# Keys go to the window once the compositor has given it the keyboard again.
key() { wait_for 10 keyboard_on window; xdotool key "$@"; }
# The program saw the pointer at (x, y) of its window.
seen_at() {
  grep 'wl_pointer@[0-9]*\.\(enter\|motion\|leave\|button\)(' "$log" | tail -n 1 | grep -q "(.*, $1\.0*, $2\.0*)"
}
point() { # x y: moves the pointer there and waits until the window has seen it there
  xdotool mousemove $((OX + X + $1)) $((OY + Y + $2))
  wait_for 10 seen_at "$1" "$2"
}
# Presses `button` at (x, y) of the window, waits for the compositor to take
# the drag, moves by (dx, dy) in two steps and lets go.
drag() { # button x y dx dy
  point "$2" "$3"
  local leaves
  leaves=$(count "$leave")
  xdotool mousedown "$1"
  wait_for 10 more "$leave" "$leaves"
  xdotool mousemove $((OX + X + $2 + $4 / 2)) $((OY + Y + $3 + $5 / 2))
  xdotool mousemove $((OX + X + $2 + $4)) $((OY + Y + $3 + $5)) mouseup "$1"
}
for row in "left 1 frame 125 12 40 30" "right 3 chart 125 200 -30 -20" "middle 2 chart 60 125 25 -15"; do
  set -- $row
  moves=$(count "$move")
  drag "$2" "$4" "$5" "$6" "$7"
  moved=no
  wait_for 10 at $((X + $6)) $((Y + $7)) && more "$move" "$moves" && moved=yes
  check "the $1 button on the $3 hands the drag to the compositor: the window follows the pointer" test $moved = yes
  window_box "$work/screen.png"; X=$WX; Y=$WY
done

# A press outside the circle is not the window's: the pointer leaves it at the
# corner, and nothing reaches it until it comes back.
point 125 125
leaves=$(count "$leave")
xdotool mousemove $((OX + X + 2)) $((OY + Y + 2))
check "the pointer leaves the window at its corner" wait_for 10 more "$leave" "$leaves"
mark=$(wc -l < "$log")
xdotool mousedown 1 mousemove $((OX + X + 32)) $((OY + Y + 32)) mouseup 1
point 125 125
check "a press and drag at the corner reach nothing of the window" \
  test -z "$(tail -n +"$mark" "$log" | grep 'wl_pointer@[0-9]*\.button(')"
check "and leave it where it is" at $X $Y

# The parent folder's pie, read with the pointer off the window, at the
# window's place on that screen; then a slice's tip right after a drag by the
# frame: the frame was pressed, the pie is hovered.
look() {
  xdotool mousemove $((OX + 799)) $((OY + 599))
  xshot && window_box "$work/screen.png" && [ "$WW $WH" = "250 250" ]
}
pie() { pixel "$work/screen.png" $((WX + 125 + $1)) $((WY + 125 + $2)); }
key BackSpace
pie_of_top() { look && [ "$(pie 40 -40)" = FFFFFF ] && [ "$(pie -40 40)" = 1E0050 ]; }
check "Backspace shows the parent folder" wait_for 20 pie_of_top
X=$WX; Y=$WY
drag 1 125 12 -20 -15
wait_for 10 at $((X - 20)) $((Y - 15))
X=$WX; Y=$WY
point 85 165
point 87 167
tip_shown() { xshot && [ "$(pixel "$work/screen.png" $((X + 87 - 22 + 3)) $((Y + 167 - 22 + 3)))" != 1E0050 ]; }
check "hovering a slice right after a drag by the frame shows its tip" wait_for 10 tip_shown

# A click on the sub-folder's slice opens it; so does a press that drags the
# window, which moves too. Listing order decides which of a and b comes first:
# the second sub-folder colour shows only once start is open.
start_open() {
  local p seen=""
  look || return 1
  for p in "40 -40" "-40 -40" "-40 40" "40 40"; do seen="$seen $(pie $p)"; done
  grep -q 2D0064 <<< "$seen"
}
point 165 165
xdotool click 1
check "a click on a slice opens its folder" wait_for 20 start_open
key BackSpace
check "Backspace goes back up" wait_for 20 pie_of_top
drag 1 165 165 20 10
opened=no; wait_for 20 start_open && opened=yes
check "a press on a slice opens it and drags the window" test $opened = yes
check "by the pointer's movement" wait_for 10 at $((X + 20)) $((Y + 10))
X=$WX; Y=$WY

# The dialogs are the window's own: the compositor places them.
main=$(sed -n 's/.*get_toplevel(new id \(xdg_toplevel@[0-9]*\)).*/\1/p' "$log" | head -1)
point 125 125
parent="xdg_toplevel@[0-9]*\.set_parent($main)"
key ctrl+o
check "the folder dialog is a transient child of the window" wait_for 10 more "$parent" 0
wait_for 10 keyboard_on dialog
xdotool key Escape
parents=$(count "$parent")
key F1
check "so is the help dialog" wait_for 10 more "$parent" "$parents"
finish
