# Mounting slowfs (tests/fuse/slowfs.cpp) from a shell test. Source it, then:
#   trap slowfs_unmount EXIT
#   slowfs_mount BUILD_DIR/tests/slowfs --stall=2   # sets SLOWFS_ROOT and SLOWFS_PID
# slowfs_mount exits the script with 77 and a SKIP line when FUSE cannot be
# used here. slowfs_unmount ends slowfs and removes the mount, even a dead or
# busy one; it may be called more than once.

slowfs_mount() { # BINARY [OPTIONS...]
  local bin=$1; shift
  [ -x "$bin" ] || { echo "SKIP: $bin was not built (libfuse3-dev missing?)"; exit 77; }
  SLOWFS_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/slowfs-XXXXXX")
  chmod 755 "$SLOWFS_ROOT"
  "$bin" "$SLOWFS_ROOT" -f "$@" > /dev/null &
  SLOWFS_PID=$!
  local i
  for i in $(seq 200); do
    mountpoint -q "$SLOWFS_ROOT" && return 0
    if ! kill -0 "$SLOWFS_PID" 2>/dev/null; then
      local rc=0; wait "$SLOWFS_PID" || rc=$?
      SLOWFS_PID=
      if [ "$rc" = 77 ]; then
        echo "SKIP: FUSE cannot be used here (/dev/fuse missing or mounting not allowed)"
        slowfs_unmount; exit 77
      fi
      echo "slowfs ended with status $rc before mounting" >&2
      slowfs_unmount; return 1
    fi
    sleep 0.05
  done
  echo "slowfs did not mount on $SLOWFS_ROOT" >&2
  slowfs_unmount; return 1
}

slowfs_unmount() {
  if [ -n "${SLOWFS_PID:-}" ]; then
    kill -TERM "$SLOWFS_PID" 2>/dev/null || true
    local i
    for i in $(seq 100); do kill -0 "$SLOWFS_PID" 2>/dev/null || break; sleep 0.05; done
    kill -KILL "$SLOWFS_PID" 2>/dev/null || true
    wait "$SLOWFS_PID" 2>/dev/null || true
    SLOWFS_PID=
  fi
  if [ -n "${SLOWFS_ROOT:-}" ]; then
    if mountpoint -q "$SLOWFS_ROOT" 2>/dev/null || grep -q " $SLOWFS_ROOT " /proc/self/mountinfo; then
      fusermount3 -u -z "$SLOWFS_ROOT" 2>/dev/null || umount -l "$SLOWFS_ROOT" || true
    fi
    rmdir "$SLOWFS_ROOT" 2>/dev/null || true # never rm -r: it could reach into a mount
    SLOWFS_ROOT=
  fi
  return 0
}
