#!/usr/bin/env bash
# A scan opens nothing for writing and creates, renames or deletes nothing,
# outside the runtime paths the toolkit itself uses.
set -euo pipefail
bench=$1
command -v strace >/dev/null || { echo "SKIP: strace is not installed"; exit 77; }
tree=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$tree" "$log"' EXIT
mkdir -p "$tree/a/b" "$tree/c"
truncate -s 5000 "$tree/a/f" "$tree/a/b/g" "$tree/c/h" "$tree/top"
QT_QPA_PLATFORM=offscreen strace -f -qq -o "$log" \
  -e trace=chdir,open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,rmdir,link,linkat,symlink,symlinkat,truncate,ftruncate,chmod,fchmodat,chown,fchownat,utimensat \
  "$bench" "$tree" 1 > /dev/null
grep -q "$tree" "$log" || { echo "the scan was not traced"; exit 1; }
# What the toolkit may touch: its runtime folder, font caches, devices, /proc.
allowed='(/tmp/runtime-|/run/user/|/\.cache/|/var/cache/fontconfig|/dev/|/proc/|/sys/)'
bad=$(grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|^[0-9]+ +(creat|rename|unlink|mkdir|rmdir|link|symlink|truncate|ftruncate|chmod|fchmodat|chown|fchownat|utimensat)' "$log" \
      | grep -vE "$allowed" | grep -v ' = -1 ' || true)
if [ -n "$bad" ]; then
  echo "writes during a scan:"
  echo "$bad"
  exit 1
fi
if grep -E "$tree" "$log" | grep -E 'O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|unlink|rename|mkdir'; then
  echo "the scanned tree was touched"
  exit 1
fi
echo "1 passed, 0 failed"
