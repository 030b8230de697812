#!/usr/bin/env bash
# The real program under a window manager: the help dialog's first showing is
# centred over the main window by its outer size, frame included.
#   wm.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
if [ -z "${WM_INSIDE:-}" ]; then
  for tool in xvfb-run xdotool openbox xprop; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  WM_INSIDE=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
export LANG=C.UTF-8

. "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
wm=""; pid=""
trap 'kill $pid $wm 2>/dev/null; rm -rf "$work"' EXIT
HOME=$work openbox --sm-disable > "$work/wm.log" 2>&1 &
wm=$!
for _ in $(seq 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
check "the window manager runs" kill -0 $wm

cd "$work"
"$build/quintavo" > "$work/log" 2>&1 &
pid=$!
win=$(xdotool search --sync --onlyvisible --pid "$pid" --name '^Quintavo$' | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$win")"
MX=$X; MY=$Y
check "the main window has no frame" test "$WIDTH" = 250 -a "$HEIGHT" = 250

xdotool mousemove $((MX + 126)) $((MY + 237)) click 1
help=$(xdotool search --sync --onlyvisible --name '^Aide de Quintavo$' | head -1)
sleep 1
eval "$(xdotool getwindowgeometry --shell "$help")"
# left, right, top, bottom of the frame the window manager put round the dialog
read -r l r t b < <(xprop -id "$help" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,/ /g')
check "the help dialog is framed" test "${t:-0}" -gt 0
outerW=$((WIDTH + l + r)); outerH=$((HEIGHT + t + b))
echo "main at $MX,$MY; dialog client $X,$Y ${WIDTH}x$HEIGHT; frame $l $r $t $b"
check "centred across by its outer width" test $((X - l)) = $((MX + (250 - outerW) / 2))
check "centred down by its outer height" test $((Y - t)) = $((MY + (250 - outerH) / 2))
finish
