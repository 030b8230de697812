#!/usr/bin/env bash
# Installs the package into a throwaway root with dpkg (the machine's own
# packages are left alone), starts the installed program the way its menu entry
# does under Xvfb and finds its 250 x 250 window, then removes the package and
# checks that nothing of it is left.
#   package_install.sh PACKAGE_DIR
set -uo pipefail
pkgdir=$(cd "$1" && pwd)
if [ -z "${PACKAGE_INSIDE_X:-}" ]; then
  for tool in dpkg xvfb-run xdotool timeout; do
    command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  compgen -G "$pkgdir/quintavo_*.deb" > /dev/null || { echo "SKIP: no package in $pkgdir"; exit 77; }
  PACKAGE_INSIDE_X=1 exec xvfb-run -a -s "-screen 0 800x600x24" "$0" "$@"
fi
unset QT_QPA_PLATFORM
deb=$(ls "$pkgdir"/quintavo_*.deb | head -1)
fails=0; passes=0
check() { # name, condition...
  local name=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $name"; else fails=$((fails + 1)); echo "FAIL: $name"; fi
}
root=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; rm -rf "$root"' EXIT
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
# The libraries come from the machine, not from the throwaway root; a developer
# who is not root can run this too.
pkg() { dpkg --root="$root" --log="$root/dpkg.log" --force-depends --force-not-root "$@"; }

pkg -i "$deb" > "$root/install.log" 2>&1
check "dpkg installs the package" test "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' quintavo)" = "install ok installed"
check "the program is in /usr/bin" test -x "$root/usr/bin/quintavo"

desktop="$root/usr/share/applications/org.quintavo.quintavo.desktop"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
check "the menu entry has a command" test -n "$exec_line"
work=$(mktemp -d -p "$root")
(cd "$work" && PATH="$root/usr/bin:$PATH" HOME="$work" LANG=C.UTF-8 exec $exec_line) > "$root/run.log" 2>&1 &
pid=$!
win=$(timeout 60 xdotool search --sync --onlyvisible --pid "$pid" --name '^Quintavo$' | head -1)
check "the installed program shows its window" test -n "$win"
check "it runs the installed binary" test "$(readlink "/proc/$pid/exe")" = "$root/usr/bin/quintavo"
if [ -n "$win" ]; then
  eval "$(xdotool getwindowgeometry --shell "$win")"
  check "the window is 250 x 250" test "$WIDTH x $HEIGHT" = "250 x 250"
fi
kill "$pid" 2> /dev/null; wait "$pid" 2> /dev/null; pid=""
rm -rf "$work"

pkg --purge quintavo > "$root/remove.log" 2>&1
check "dpkg removes the package" test -z "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' quintavo 2> /dev/null | grep installed)"
left=$(cd "$root" && find . -mindepth 1 \( -path ./var -o -path ./dpkg.log -o -name '*.log' \) -prune -o -print)
check "nothing is left behind${left:+: $left}" test -z "$left"
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
