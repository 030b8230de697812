#!/usr/bin/env bash
# Without a graphical session the program, and `make run` before it builds,
# say so in one line; the program exits with status 1 instead of aborting.
# `make run` installs and builds what the program needs and nothing more.
#   nodisplay.sh BUILD_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fails=0; passes=0
check() { # name, condition...
  local name=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $name"; else fails=$((fails + 1)); echo "FAIL: $name"; fi
}
bare() { env -i PATH="$PATH" HOME="$work" LANG=C.UTF-8 "$@"; }
line='quintavo : il faut une session graphique (ni DISPLAY ni WAYLAND_DISPLAY n'"'"'est défini)'

for case in "no variable" "empty variables" "X11 plugin asked for"; do
  case $case in
    "no variable") bare timeout 20 "$build/quintavo" > "$work/out" 2> "$work/err" ;;
    "empty variables") bare DISPLAY= WAYLAND_DISPLAY= timeout 20 "$build/quintavo" > "$work/out" 2> "$work/err" ;;
    "X11 plugin asked for") bare QT_QPA_PLATFORM=xcb timeout 20 "$build/quintavo" > "$work/out" 2> "$work/err" ;;
  esac
  status=$?
  check "$case: status 1" test "$status" = 1
  check "$case: one line on stderr" test "$(cat "$work/err")" = "$line"
  check "$case: nothing on stdout" test ! -s "$work/out"
done

# A display that is named but cannot be opened: Qt's abort becomes status 1 and
# the program's line, without the toolkit's lines on which plugin failed.
bare DISPLAY=:7391 timeout 20 "$build/quintavo" > "$work/out" 2> "$work/err"
status=$?
check "unreachable display: status 1" test "$status" = 1
check "unreachable display: one line on stderr, saying which" \
  test "$(cat "$work/err")" = "quintavo : impossible d'ouvrir la session graphique (DISPLAY=:7391, WAYLAND_DISPLAY=)"

# A platform that needs no display server is left alone.
bare QT_QPA_PLATFORM=offscreen timeout 3 "$build/quintavo" > /dev/null 2>&1
status=$?
check "offscreen platform starts (stopped by timeout)" test "$status" = 124

# make run checks before it builds: the build folder is never made.
bare make --no-print-directory -C "$src" run BUILD_DIR="$work/never" > "$work/out" 2> "$work/err"
status=$?
check "make run fails" test "$status" != 0
check "make run says the same line" grep -qxF "$line" "$work/err"
check "make run builds nothing" test ! -e "$work/never"

# What each command would install and build, read from a dry run (nothing is
# installed or built): make run, the packages of the README's make run line
# and only the program; make test, those and its own tools, and everything.
dry() { bare make --no-print-directory -n -C "$src" "$1" BUILD_DIR="$work/never" DISPLAY=:0 2> /dev/null; }
packages() { sed -n 's/.*for p in \([^;]*\); do.*/\1/p' | tr ' ' '\n' | sed '/^$/d' | sort; }
dry run > "$work/run.n"
dry test > "$work/test.n"
packages < "$work/run.n" > "$work/run.pkgs"
packages < "$work/test.n" > "$work/test.pkgs"
sed -n 's/^| `make run` | `\([^`]*\)`.*/\1/p' "$src/README.md" | tr ' ' '\n' | sort > "$work/readme.pkgs"
check "make run installs the packages the README names" cmp -s "$work/run.pkgs" "$work/readme.pkgs"
check "make run installs no test tool" test -z "$(grep -xE 'xvfb|xauth|xdotool|imagemagick|strace|fuse3|lintian|openbox' "$work/run.pkgs")"
check "make test installs what make run does and more" test -z "$(comm -23 "$work/run.pkgs" "$work/test.pkgs")" -a -n "$(comm -13 "$work/run.pkgs" "$work/test.pkgs")"
builds() { grep -E '^cmake --build' "$1" | sed -E 's/ -j [0-9]+//'; }
check "make run builds the program alone" test "$(builds "$work/run.n")" = "cmake --build $work/never --target quintavo"
check "make test builds everything" test "$(builds "$work/test.n")" = "cmake --build $work/never"
check "the dry runs built nothing" test ! -e "$work/never"
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
