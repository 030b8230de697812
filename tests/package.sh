#!/usr/bin/env bash
# Builds the Debian package from the build folder into OUT_DIR and checks its
# contents, its control fields, its desktop metadata and what lintian says.
#   package.sh BUILD_DIR OUT_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
out=$2
for tool in cpack dpkg-deb dpkg-shlibdeps file; do
  command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
fails=0; passes=0
check() { # name, condition...
  local name=$1; shift
  if "$@"; then passes=$((passes + 1)); echo "PASS: $name"; else fails=$((fails + 1)); echo "FAIL: $name"; fi
}
rm -rf "$out"; mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" > "$out/cpack.log" 2>&1) || { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' "$build/CMakeCache.txt")
deb="$out/quintavo_${version}_$(dpkg --print-architecture).deb"
check "the package is named quintavo_${version}_<arch>.deb" test -f "$deb"
[ -f "$deb" ] || { echo "$passes passed, $fails failed"; exit 1; }

field() { dpkg-deb --field "$deb" "$1"; }
check "package name" test "$(field Package)" = quintavo
check "version $version" test "$(field Version)" = "$version"
check "section and priority" test "$(field Section)/$(field Priority)" = utils/optional
check "a maintainer with an address" grep -qE '^.+ <[^ >]+@[^ >]+>$' <<< "$(field Maintainer)"
check "a long description" test "$(field Description | wc -l)" -gt 3
depends=$(field Depends)
names=$(tr ',' '\n' <<< "$depends" | sed 's/^ *//; s/ .*//')
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo libstdc++6 fonts-dejavu-core qt6-translations-l10n; do
  check "depends on $lib" grep -qxF "$lib" <<< "$names"
done
# Every dependency is met by what is installed here.
unmet=""
IFS=',' read -ra deps <<< "$depends"
for d in "${deps[@]}"; do
  d=$(sed 's/^ *//; s/ *$//' <<< "$d")
  name=${d%% *}
  installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null | head -1)
  if [ -z "$installed" ]; then unmet="$unmet $d"; continue; fi
  if [[ $d =~ \((..)\ (.*)\) ]]; then
    op=${BASH_REMATCH[1]}; want=${BASH_REMATCH[2]}
    case $op in ">=") op=ge ;; "<=") op=le ;; ">>") op=gt ;; "<<") op=lt ;; *) op=eq ;; esac
    dpkg --compare-versions "$installed" "$op" "$want" || unmet="$unmet $d"
  fi
done
check "dependencies met on this system${unmet:+ (not:$unmet)}" test -z "$unmet"

dpkg-deb --contents "$deb" | awk '{print $1, $2, $6}' | sed 's#\./#/#' > "$out/contents"
for f in /usr/bin/quintavo /usr/share/applications/org.quintavo.quintavo.desktop \
         /usr/share/metainfo/org.quintavo.quintavo.metainfo.xml /usr/share/doc/quintavo/copyright \
         /usr/share/doc/quintavo/changelog.gz /usr/share/man/man1/quintavo.1.gz \
         /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/quintavo.png; do
  check "contains $f" grep -qE " $f$" "$out/contents"
done
check "only /usr is touched" test -z "$(awk '$3 !~ "^/usr(/|$)" && $3 != "/"' "$out/contents")"
check "everything is root's" test -z "$(awk '$2 != "root/root"' "$out/contents")"
check "the program is executable by all" grep -qE '^-rwxr-xr-x .* /usr/bin/quintavo$' "$out/contents"
check "directories are 755" test -z "$(awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"' "$out/contents")"

root="$out/root"
dpkg-deb -x "$deb" "$root"
stripped_elf() { local t; t=$(file -L "$1"); [[ $t == *ELF* && $t == *", stripped"* ]]; }
check "the program is a stripped ELF executable" stripped_elf "$root/usr/bin/quintavo"
check "the changelog is Debian's, for $version" \
  grep -qE "^quintavo \($version\) " <<< "$(zcat "$root/usr/share/doc/quintavo/changelog.gz")"
check "the manual page is quintavo(1)" grep -q '^\.TH QUINTAVO 1 ' <<< "$(zcat "$root/usr/share/man/man1/quintavo.1.gz")"
icon_sizes_ok=1
for s in 16 32 48 64 128 256; do
  file "$root/usr/share/icons/hicolor/${s}x${s}/apps/quintavo.png" | grep -q "$s x $s" || icon_sizes_ok=0
done
check "each icon has the size of its folder" test "$icon_sizes_ok" = 1

desktop="$root/usr/share/applications/org.quintavo.quintavo.desktop"
metainfo="$root/usr/share/metainfo/org.quintavo.quintavo.metainfo.xml"
if command -v desktop-file-validate > /dev/null; then
  check "the desktop entry validates without a word" test -z "$(desktop-file-validate "$desktop" 2>&1)"
else
  echo "NOTE: desktop-file-validate is not installed"
fi
check "the menu entry starts the installed program" grep -qx 'Exec=quintavo' "$desktop"
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net --pedantic "$metainfo" > "$out/appstream.log" 2>&1
  check "appstreamcli validates the metadata (pedantic)" grep -q '^✔ Validation was successful\.$' "$out/appstream.log" \
    || cat "$out/appstream.log"
else
  echo "NOTE: appstreamcli is not installed"
fi
meta() { tr -d '\n' < "$metainfo"; }
check "component id is reverse DNS, matching the entry" grep -q '<id>org\.quintavo\.quintavo</id>' <<< "$(meta)"
check "launchable names the entry" grep -q '<launchable type="desktop-id">org\.quintavo\.quintavo\.desktop</launchable>' <<< "$(meta)"
check "content rating" grep -q '<content_rating type="oars-1\.1"' <<< "$(meta)"
check "release $version" grep -q "<release version=\"$version\"" <<< "$(meta)"
check "a screenshot" grep -q '<screenshot type="default">' <<< "$(meta)"
check "French summary" grep -q "<summary>Montre en camembert" <<< "$(meta)"

if command -v lintian > /dev/null; then
  lintian --pedantic --display-info "$deb" > "$out/lintian.log" 2>&1
  cat "$out/lintian.log"
  check "lintian finds no error or warning" test -z "$(grep -E '^(E|W):' "$out/lintian.log")"
else
  echo "NOTE: lintian is not installed"
fi
echo "$passes passed, $fails failed"
[ "$fails" = 0 ]
