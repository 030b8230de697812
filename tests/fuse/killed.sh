#!/usr/bin/env bash
# Through the shell helper: slowfs killed outright while a caller waits in a
# stall frees the caller at once, and the dead mount is cleared.
#   killed.sh SLOWFS
set -euo pipefail
. "$(dirname "$0")/../support/slowfs.sh"
trap slowfs_unmount EXIT
slowfs_mount "$1" --stall=120
root=$SLOWFS_ROOT
[ "$(cat "$root/fast/sub/four" | wc -c)" = 4096 ] || { echo "FAIL: reading a file"; exit 1; }
stat "$root/slow" > /dev/null 2>&1 &
caller=$!
sleep 0.3
kill -0 "$caller" || { echo "FAIL: the status of slow did not stall"; exit 1; }
kill -KILL "$SLOWFS_PID"
for i in $(seq 100); do kill -0 "$caller" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$caller" 2>/dev/null; then echo "FAIL: the caller still waits"; kill -KILL "$caller"; exit 1; fi
wait "$caller" && { echo "FAIL: the stalled status succeeded"; exit 1; }
slowfs_unmount
grep -q " $root " /proc/self/mountinfo && { echo "FAIL: the mount is left"; exit 1; }
[ ! -e "$root" ] || { echo "FAIL: the mount point is left"; exit 1; }
echo "1 passed, 0 failed"
