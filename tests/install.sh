#!/usr/bin/env bash
# The install puts the program, its menu entry, icons and AppStream data in
# their standard places.
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr > /dev/null
for f in bin/quintavo share/applications/org.quintavo.quintavo.desktop share/metainfo/org.quintavo.quintavo.metainfo.xml \
         share/icons/hicolor/16x16/apps/quintavo.png share/icons/hicolor/256x256/apps/quintavo.png; do
  [ -e "$stage/usr/$f" ] || { echo "missing: $f"; exit 1; }
done
grep -q '^Exec=quintavo$' "$stage/usr/share/applications/org.quintavo.quintavo.desktop"
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate "$stage/usr/share/applications/org.quintavo.quintavo.desktop"
fi
echo "1 passed, 0 failed"
