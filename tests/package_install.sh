#!/usr/bin/env bash
# Installs the package into a throwaway root with dpkg (the machine's own
# packages are left alone), starts the installed program the way its menu entry
# does under Xvfb and finds its 250 x 250 window, checks that an install
# without recommended packages brings the French catalogue the installed
# program reads, then removes the package and checks that nothing of it is left.
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
scratch=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; rm -rf "$root" "$scratch"' EXIT
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

# Qt's dialogs in French on an install made with --no-install-recommends: apt,
# asked for such an install on a system that has nothing yet (an empty package
# database; nothing is installed), must bring the package that holds the
# catalogue the installed program opens at start-up.
if ! command -v apt-get > /dev/null || ! command -v strace > /dev/null; then
  echo "NOTE: apt-get or strace is not installed: the install without recommendations is not checked"
elif ! grep -q 'Candidate: [0-9]' <<< "$(apt-cache policy qt6-translations-l10n 2> /dev/null)"; then
  echo "NOTE: apt knows no qt6-translations-l10n (run apt-get update): the install without recommendations is not checked"
else
  : > "$scratch/status"
  apt-get install --simulate --no-install-recommends -o Debug::NoLocking=1 -o Dir::State::status="$scratch/status" \
    -o Dir::State::extended_states="$scratch/extended_states" "$deb" > "$scratch/apt.log" 2>&1
  sed -n 's/^Inst \([^ ]*\) .*/\1/p' "$scratch/apt.log" > "$scratch/brought"
  check "apt installs it without recommended packages" grep -qx quintavo "$scratch/brought"
  grep -qx quintavo "$scratch/brought" || tail -5 "$scratch/apt.log"
  mkdir "$scratch/home"
  (cd "$scratch/home" && HOME="$scratch/home" LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen \
    strace -f -qq -e trace=openat -e status=successful -o "$scratch/trace" timeout 3 "$root/usr/bin/quintavo") > /dev/null 2>&1
  catalogue=$(grep -o '"[^"]*/qtbase_fr\.qm"' "$scratch/trace" | tr -d '"' | head -1)
  owner=$(dpkg-query -S "${catalogue:-/nothing}" 2> /dev/null | sed 's/:.*//')
  check "the installed program reads Qt's French catalogue${catalogue:+ ($catalogue)}" test -n "$catalogue"
  check "which comes with that install${owner:+ (package $owner)}" grep -qxF "${owner:-/}" "$scratch/brought"
fi

pkg --purge quintavo > "$root/remove.log" 2>&1
check "dpkg removes the package" test -z "$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status}' quintavo 2> /dev/null | grep installed)"
left=$(cd "$root" && find . -mindepth 1 \( -path ./var -o -path ./dpkg.log -o -name '*.log' \) -prune -o -print)
check "nothing is left behind${left:+: $left}" test -z "$left"
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
