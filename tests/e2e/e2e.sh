#!/usr/bin/env bash
# Drives the real program under a real X server with real pointer events and
# reads the screen back: the round window, dragging, the pie of a folder,
# opening a slice, the tip, the keys, the folder dialog, the help dialog and
# quitting.
#   e2e.sh BUILD_DIR [SCREENSHOT_OUT]
set -uo pipefail
build=$(cd "$1" && pwd)
shot_out=${2:-}
if [ -z "${E2E_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool import convert; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  E2E_INSIDE=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
export LANG=C.UTF-8

. "$(dirname "$0")/checks.sh"
shot() { import -window root "$work/screen.png"; }
pixel() { # x y -> RRGGBB
  convert "$work/screen.png" -format "%[hex:p{$1,$2}]" info: | cut -c1-6
}
geometry() { # sets WX WY
  eval "$(xdotool getwindowgeometry --shell "$win")"
  WX=$X; WY=$Y
}

work=$(mktemp -d)
trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
# The tree: the program starts in top/start; top holds loose files (one
# quarter) and "start" (three quarters); start holds a (one quarter) and b.
mkdir -p "$work/top/start/a" "$work/top/start/b" "$work/other/x"
truncate -s 1M "$work/top/loose"
truncate -s 1M "$work/top/start/a/f"
truncate -s 2M "$work/top/start/b/f"
truncate -s 10K "$work/other/x/f"

# A scratch home: the program must leave it as it found it (no Qt settings).
mkdir "$work/home"
cd "$work/top/start"
HOME="$work/home" XDG_CONFIG_HOME= "$build/quintavo" > "$work/log" 2>&1 &
pid=$!
win=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Quintavo$' | head -1)
check "the window appears" test -n "$win"
sleep 1
geometry
check "the window is 250 pixels square" test "$WIDTH" = 250 -a "$HEIGHT" = 250
shot
cx=$((WX + 125)); cy=$((WY + 125))
check "the navy pie area" test "$(pixel $cx $cy)" = 000080
check "the blue ring" test "$(pixel $((WX + 1)) $cy)" = 0000FF
check "the desktop shows outside the circle" test "$(pixel $((WX + 2)) $((WY + 2)))" != "$(pixel $((WX + 30)) $((WY + 125)))"

# Dragging by the frame and by the chart moves the window by the pointer's movement.
xdotool mousemove $((WX + 125)) $((WY + 12)) mousedown 1 mousemove $((WX + 150)) $((WY + 30)) mousemove $((WX + 165)) $((WY + 42)) mouseup 1
sleep 0.5
ox=$WX; oy=$WY; geometry
check "a drag by the frame moves the window" test $((WX - ox)) = 40 -a $((WY - oy)) = 30
xdotool mousemove $((WX + 125)) $((WY + 200)) mousedown 3 mousemove $((WX + 100)) $((WY + 180)) mousemove $((WX + 95)) $((WY + 180)) mouseup 3
sleep 0.5
ox=$WX; oy=$WY; geometry
check "a drag by the chart moves the window" test $((WX - ox)) = -30 -a $((WY - oy)) = -20
cx=$((WX + 125)); cy=$((WY + 125))

# The parent command shows the pie of top: loose files white (from three
# o'clock to twelve), start in the first sub-folder colour.
xdotool mousemove $((WX + 12)) $((WY + 128)) click 1
sleep 2
xdotool mousemove $((WX + 125)) $((WY + 240))
sleep 0.3
shot
check "the files slice is white" test "$(pixel $((cx + 40)) $((cy - 40)))" = FFFFFF
check "the first sub-folder is 1E0050" test "$(pixel $((cx - 40)) $((cy + 40)))" = 1E0050
[ -n "$shot_out" ] && cp "$work/screen.png" "$work/full.png" && convert "$work/full.png" -crop 250x250+$WX+$WY +repage "$shot_out"

# Hovering a slice shows its tip, 22 pixels up and left of the pointer.
xdotool mousemove $((cx - 40)) $((cy + 40))
sleep 0.2
xdotool mousemove $((cx - 38)) $((cy + 42))
sleep 0.8
shot
tipcolor=$(pixel $((cx - 38 - 22 + 3)) $((cy + 42 - 22 + 3)))
check "the tip covers the pie" test "$tipcolor" != 1E0050

# Clicking the sub-folder's slice opens it: a (one quarter) and b.
xdotool click 1
sleep 2
xdotool mousemove $((WX + 125)) $((WY + 240))
sleep 0.3
shot
# Listing order decides which of a and b comes first: the second sub-folder
# colour shows only once the folder is open.
seen=""
for p in "40 -40" "-40 -40" "-40 40" "40 40"; do set -- $p; seen="$seen $(pixel $((cx + $1)) $((cy + $2)))"; done
check "the clicked folder opens" grep -q 2D0064 <<< "$seen"

# The keys, with the pointer on the frame: Backspace goes up to top again;
# Right chooses the files slice and shows its tip with its corner at the
# slice's middle angle halfway to the rim, chart (138, 66); Escape hides it;
# Right then Enter opens start.
xdotool key BackSpace
sleep 2
shot
check "Backspace shows the parent folder" test "$(pixel $((cx + 40)) $((cy - 40)))" = FFFFFF
xdotool key Right
sleep 0.5
shot
tx=$((WX + 22 + 138)); ty=$((WY + 22 + 66))
check "Right shows the files slice's tip at its middle" \
  test "$(pixel $tx $ty)" != FFFFFF -a "$(pixel $((tx - 1)) $ty)" = FFFFFF -a "$(pixel $tx $((ty - 1)))" = FFFFFF
xdotool key Escape
sleep 0.3
shot
check "Escape hides the tip" test "$(pixel $tx $ty)" = FFFFFF
xdotool key Right Return
sleep 2
shot
seen=""
for p in "40 -40" "-40 -40" "-40 40" "40 40"; do set -- $p; seen="$seen $(pixel $((cx + $1)) $((cy + $2)))"; done
check "Enter opens the chosen slice" grep -q 2D0064 <<< "$seen"

# The folder dialog: a typed path and Enter.
xdotool mousemove $((WX + 235)) $((WY + 128)) click 1
sleep 1
dlg=$(xdotool search --onlyvisible --name '^Dossier à analyser$' | head -1)
check "the folder dialog opens" test -n "$dlg"
# The real folder browser, in French; Escape closes it and leaves the dialog.
xdotool key --clearmodifiers alt+Down
browser=""
for _ in $(seq 50); do
  browser=$(xdotool search --onlyvisible --name '^Chercher dans le dossier$' 2>/dev/null | head -1)
  [ -n "$browser" ] && break; sleep 0.1
done
check "the folder browser opens, in French" test -n "$browser"
xdotool key Escape
sleep 0.5
check "Escape closes only the browser" test -z "$(xdotool search --onlyvisible --name '^Chercher dans le dossier$' 2>/dev/null)" \
  -a -n "$(xdotool search --onlyvisible --name '^Dossier à analyser$' 2>/dev/null)"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$work/other"
xdotool key Return
sleep 2
xdotool mousemove $((WX + 125)) $((WY + 240))
sleep 0.3
shot
check "the typed folder is shown" test "$(pixel $((cx - 40)) $((cy + 40)))" = 1E0050

# The help dialog with its version label.
xdotool mousemove $((WX + 126)) $((WY + 237)) click 1
help=$(xdotool search --sync --onlyvisible --name '^Aide de Quintavo$' | head -1)
check "the help dialog opens" test -n "$help"
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$help")"
shot
label=$(convert "$work/screen.png" -crop 100x16+$((X + 128))+$((Y + 32)) +repage txt:- | grep -ci '00FFFF' || true)
check "the version label is drawn in aqua" test "${label:-0}" -gt 0
xdotool mousemove $((X + 128)) $((Y + 267)) click 1
sleep 0.5
check "the help dialog closes" test -z "$(xdotool search --onlyvisible --name '^Aide de Quintavo$' 2>/dev/null)"

# The close button ends the process with status 0.
geometry
xdotool mousemove $((WX + 154)) $((WY + 15)) click 1
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
wait $pid; status=$?
check "the close button quits with status 0" test "$status" = 0
check "nothing is written in the home folder" test -z "$(find "$work/home" -mindepth 1 | head -1)"
finish
