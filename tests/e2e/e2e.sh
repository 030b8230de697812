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
shows() { # x y RRGGBB...: a fresh screenshot has each colour at its pixel
  shot
  while [ $# -ge 3 ]; do [ "$(pixel "$1" "$2")" = "$3" ] || return 1; shift 3; done
}
sees() { # RRGGBB: a fresh screenshot has it at one of the four sample points of the pie
  local dx dy
  shot
  for p in "40 -40" "-40 -40" "-40 40" "40 40"; do
    read -r dx dy <<< "$p"
    [ "$(pixel $((cx + dx)) $((cy + dy)))" = "$1" ] && return 0
  done
  return 1
}
moved() { # dx dy: the window is that far from ox oy
  geometry; [ $((WX - ox)) = "$1" ] && [ $((WY - oy)) = "$2" ]
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
win=$(waitwindow '^Quintavo$' "$pid")
check "the window appears" test -n "$win"
geometry
check "the window is 250 pixels square" test "$WIDTH" = 250 -a "$HEIGHT" = 250
cx=$((WX + 125)); cy=$((WY + 125))
check "the navy pie area" waituntil 10 shows $cx $cy 000080
check "the blue ring" test "$(pixel $((WX + 1)) $cy)" = 0000FF
check "the desktop shows outside the circle" test "$(pixel $((WX + 2)) $((WY + 2)))" != "$(pixel $((WX + 30)) $((WY + 125)))"

# Dragging by the frame and by the chart moves the window by the pointer's movement.
xdotool mousemove $((WX + 125)) $((WY + 12)) mousedown 1 mousemove $((WX + 150)) $((WY + 30)) mousemove $((WX + 165)) $((WY + 42)) mouseup 1
ox=$WX; oy=$WY
check "a drag by the frame moves the window" waituntil 5 moved 40 30
xdotool mousemove $((WX + 125)) $((WY + 200)) mousedown 3 mousemove $((WX + 100)) $((WY + 180)) mousemove $((WX + 95)) $((WY + 180)) mouseup 3
ox=$WX; oy=$WY
check "a drag by the chart moves the window" waituntil 5 moved -30 -20
cx=$((WX + 125)); cy=$((WY + 125))

# The parent command shows the pie of top: loose files white (from three
# o'clock to twelve), start in the first sub-folder colour.
xdotool mousemove $((WX + 12)) $((WY + 128)) click 1
xdotool mousemove $((WX + 125)) $((WY + 240))
waituntil 10 shows $((cx + 40)) $((cy - 40)) FFFFFF $((cx - 40)) $((cy + 40)) 1E0050
check "the files slice is white" test "$(pixel $((cx + 40)) $((cy - 40)))" = FFFFFF
check "the first sub-folder is 1E0050" test "$(pixel $((cx - 40)) $((cy + 40)))" = 1E0050
[ -n "$shot_out" ] && cp "$work/screen.png" "$work/full.png" && convert "$work/full.png" -crop 250x250+$WX+$WY +repage "$shot_out"

# Hovering a slice shows its tip, 22 pixels up and left of the pointer.
xdotool mousemove $((cx - 40)) $((cy + 40))
xdotool mousemove $((cx - 38)) $((cy + 42))
tip() { shot; [ "$(pixel $((cx - 38 - 22 + 3)) $((cy + 42 - 22 + 3)))" != 1E0050 ]; }
check "the tip covers the pie" waituntil 5 tip

# Clicking the sub-folder's slice opens it: a (one quarter) and b.
xdotool click 1
xdotool mousemove $((WX + 125)) $((WY + 240))
# Listing order decides which of a and b comes first: the second sub-folder
# colour shows only once the folder is open.
check "the clicked folder opens" waituntil 10 sees 2D0064

# The keys, with the pointer on the frame: Backspace goes up to top again;
# Right chooses the files slice and shows its tip with its corner at the
# slice's middle angle halfway to the rim, chart (138, 66); Escape hides it;
# Right then Enter opens start.
xdotool key BackSpace
check "Backspace shows the parent folder" waituntil 10 shows $((cx + 40)) $((cy - 40)) FFFFFF
xdotool key Right
tx=$((WX + 22 + 138)); ty=$((WY + 22 + 66))
tipat() { shot; [ "$(pixel $tx $ty)" != FFFFFF ] && [ "$(pixel $((tx - 1)) $ty)" = FFFFFF ] && [ "$(pixel $tx $((ty - 1)))" = FFFFFF ]; }
check "Right shows the files slice's tip at its middle" waituntil 5 tipat
xdotool key Escape
check "Escape hides the tip" waituntil 5 shows $tx $ty FFFFFF
xdotool key Right Return
check "Enter opens the chosen slice" waituntil 10 sees 2D0064

# The folder dialog: a typed path and Enter.
xdotool mousemove $((WX + 235)) $((WY + 128)) click 1
dlg=$(waitwindow '^Dossier à analyser$')
check "the folder dialog opens" test -n "$dlg"
# The real folder browser, in French; Escape closes it and leaves the dialog.
xdotool key --clearmodifiers alt+Down
browser=$(waitwindow '^Chercher dans le dossier$')
check "the folder browser opens, in French" test -n "$browser"
xdotool key Escape
check "Escape closes only the browser" waituntil 5 gone '^Chercher dans le dossier$'
check "the folder dialog stays" test -n "$(windowid '^Dossier à analyser$')"
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$work/other"
xdotool key Return
xdotool mousemove $((WX + 125)) $((WY + 240))
# other holds one sub-folder: the whole pie is its colour.
check "the typed folder is shown" waituntil 10 shows $((cx - 40)) $((cy + 40)) 1E0050 $((cx + 40)) $((cy - 40)) 1E0050 \
  $((cx - 40)) $((cy - 40)) 1E0050 $((cx + 40)) $((cy + 40)) 1E0050

# The help dialog with its version label.
xdotool mousemove $((WX + 126)) $((WY + 237)) click 1
help=$(waitwindow '^Aide de Quintavo$')
check "the help dialog opens" test -n "$help"
eval "$(xdotool getwindowgeometry --shell "$help")"
aqua() { shot; [ "$(convert "$work/screen.png" -crop 100x16+$((X + 128))+$((Y + 32)) +repage txt:- | grep -ci '00FFFF')" -gt 0 ]; }
check "the version label is drawn in aqua" waituntil 5 aqua
xdotool mousemove $((X + 128)) $((Y + 267)) click 1
check "the help dialog closes" waituntil 5 gone '^Aide de Quintavo$'

# The close button ends the process with status 0.
geometry
xdotool mousemove $((WX + 154)) $((WY + 15)) click 1
ended() { ! kill -0 $pid 2>/dev/null; }
waituntil 5 ended
wait $pid; status=$?
check "the close button quits with status 0" test "$status" = 0
check "nothing is written in the home folder" test -z "$(find "$work/home" -mindepth 1 | head -1)"
finish
