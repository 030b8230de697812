#!/usr/bin/env bash
# Times the real scan of the main window against du, and against a plain
# parallel walk (par_walk, what the hardware allows: 8 threads warm; 8, 16, 32
# and 64 cold, the best of them the cold yardstick), on the same synthetic
# tree, alternating, ROUNDS rounds, each run a whole process. Two settings:
#  warm: the tree on this machine's disk, cache warmed first;
#  cold: the same tree in an ext4 image on a loop device opened with direct
#        I/O, unmounted and mounted again before every run, so nothing of it
#        is cached (needs root and a free loop device; skipped otherwise, or
#        with BENCH_COLD=0).
# Prints the medians, the peak memory, the longest gap between two served
# timer ticks of each setting and how long after the scan's start the first
# tick came, beside the longest gap a plain 10 ms ticking thread saw while
# par_walk walked (what this machine allows a window beside a walk); last the
# ratios, scan_vs_du_ratio last of all.
# First of all, what the window draws (pie_bench, off-screen, no disk): the
# first frame of pies of 100 to 1,000,000 slices with the peak memory, and
# one tick of the turning progress text (BENCH_PIE=0 leaves it out).
set -euo pipefail
build=${1:-build}
rounds=${ROUNDS:-5}
tree=${BENCH_TREE:-/tmp/quintavo-bench-tree}
image_dir=${BENCH_IMAGE_DIR:-/var/tmp}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# --- the pie and the turning text ------------------------------------------
if [ "${BENCH_PIE:-1}" != 0 ]; then
  quiet() { grep -v '^QStandardPaths:' || true; }
  for slices in 100 300 1000 10000 1000000; do
    "$build/bench/pie_bench" pie "$slices" "$([ "$slices" -ge 1000000 ] && echo 3 || echo 7)" 2>&1 | quiet
  done
  "$build/bench/pie_bench" text 2>&1 | quiet
fi

if [ ! -f "$tree.count" ] || [ ! -d "$tree" ]; then
  rm -rf "$tree" "$tree.count"
  echo "building the benchmark tree in $tree ..."
  "$build/bench/make_tree" "$tree" > "$tree.count.tmp"
  mv "$tree.count.tmp" "$tree.count"
fi
read -r expected files folders < "$tree.count"
echo "tree: $files files in $folders folders, $expected KiB"

median() { sort -g | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
maximum() { sort -g | tail -n 1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
# Whatever happens, no mount, loop device or half-built image is left behind.
out=$(mktemp) loop="" mnt="" image=""
cleanup() {
  set +e
  if [ -n "$mnt" ]; then
    mountpoint -q "$mnt" && { umount "$mnt" || umount -l "$mnt"; }
    rmdir "$mnt"
  fi
  [ -n "$loop" ] && losetup -d "$loop"
  [ -n "$image" ] && rm -f "$image.tmp.$$"
  rm -f "$out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# Runs a command and prints its wall time in seconds; its output goes to $out.
timed() {
  local t0 t1
  t0=$(date +%s.%N); "$@" > "$out" 2>/dev/null; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}'
}
field() { awk -v k="$1:" '$1 == k {print $2}' "$out"; }
same_total() { # what, total
  if [ "$2" != "$expected" ]; then
    echo "$1 total $2 KiB differs from the tree's $expected KiB" >&2
    exit 1
  fi
}

# One setting: ROUNDS rounds of scan, du and par_walk with each thread count
# of $3 on $1, each run preceded by $2 (a command: nothing when warm, a
# remount when cold). Prints par_walk's medians, named with $4 ("" or
# "_cold"), and sets the globals scan_med du_med par_med (8 threads)
# par_best par_best_threads peak gap first par_gap (8 threads).
measure() {
  local root=$1 prepare=$2 counts=$3 setting=$4 r n
  local scan_times=() du_times=() peaks=() gaps=() firsts=() par_gaps=()
  declare -A par_times=()
  for r in $(seq "$rounds"); do
    $prepare
    timed "$build/bench/scan_bench" "$root" 1 > /dev/null
    same_total scan "$(field scan_total_kb)"
    scan_times+=("$(field scan_seconds)"); peaks+=("$(field peak_rss_mb)"); gaps+=("$(field longest_tick_gap_ms)")
    firsts+=("$(field first_tick_ms)")
    $prepare
    du_times+=("$(timed du -sk --apparent-size "$root")")
    for n in $counts; do
      $prepare
      par_times[$n]+="$(timed "$build/bench/par_walk" "$root" "$n") "
      same_total par_walk "$(awk 'NR == 1 {print $1}' "$out")"
      [ "$n" = 8 ] && par_gaps+=("$(field longest_tick_gap_ms)")
    done
  done
  scan_med=$(printf '%s\n' "${scan_times[@]}" | median)
  du_med=$(printf '%s\n' "${du_times[@]}" | median)
  par_best="" par_best_threads=""
  for n in $counts; do
    local m
    m=$(printf '%s\n' ${par_times[$n]} | median)
    echo "parwalk${n}${setting}_median_s: $m"
    [ "$n" = 8 ] && par_med=$m
    if [ -z "$par_best" ] || awk -v a="$m" -v b="$par_best" 'BEGIN {exit !(a < b)}'; then
      par_best=$m par_best_threads=$n
    fi
  done
  peak=$(printf '%s\n' "${peaks[@]}" | maximum)
  gap=$(printf '%s\n' "${gaps[@]}" | maximum)
  first=$(printf '%s\n' "${firsts[@]}" | maximum)
  par_gap=$(printf '%s\n' "${par_gaps[@]}" | maximum)
}

# --- warm -------------------------------------------------------------------
du -sk --apparent-size "$tree" > /dev/null # warm the cache
measure "$tree" : 8 ""
warm_ratio=$(ratio "$scan_med" "$du_med")
warm_par_ratio=$(ratio "$par_med" "$du_med")
echo "scan_median_s: $scan_med"
echo "du_median_s: $du_med"
echo "scan_files_per_s: $(awk -v f="$files" -v s="$scan_med" 'BEGIN {printf "%.0f", f / s}')"
echo "scan_peak_rss_mb: $peak"
echo "longest_tick_gap_ms: $gap"
echo "first_tick_ms: $first"
echo "parwalk8_longest_tick_gap_ms: $par_gap"

# --- cold -------------------------------------------------------------------

cold_skip=""
if [ "${BENCH_COLD:-1}" = 0 ]; then
  cold_skip="BENCH_COLD=0"
elif [ "$(id -u)" != 0 ]; then
  cold_skip="not root (a loop device and a mount are needed)"
elif ! command -v losetup > /dev/null || ! command -v mkfs.ext4 > /dev/null; then
  cold_skip="losetup or mkfs.ext4 missing (make deps installs them)"
elif [ ! -e /dev/loop-control ] && [ ! -e /dev/loop0 ]; then
  cold_skip="no loop device on this machine"
fi

if [ -z "$cold_skip" ]; then
  # Built once per tree and kept: the image is keyed by the tree's count.
  image="$image_dir/quintavo-bench-$files-$folders-$expected.ext4"
  if [ ! -f "$image" ]; then
    echo "building the ext4 image $image (once) ..."
    rm -f "$image.tmp.$$"
    # Sparse: the files' data are holes, only the metadata take room.
    if ! mkfs.ext4 -q -F -b 4096 -N $((files + folders + 10000)) -m 0 -L qbench -d "$tree" "$image.tmp.$$" 4G > /dev/null; then
      cold_skip="mkfs.ext4 could not build the image"
    else
      mv "$image.tmp.$$" "$image"
    fi
  fi
fi
if [ -z "$cold_skip" ]; then
  if ! loop=$(losetup --find --show --read-only --direct-io=on "$image" 2>/dev/null); then
    loop=""
    cold_skip="no free loop device"
  fi
fi
if [ -z "$cold_skip" ]; then
  mnt=$(mktemp -d /tmp/quintavo-bench-cold-XXXXXX)
  mount -t ext4 -o ro,noload "$loop" "$mnt" || cold_skip="the image cannot be mounted (ext4 or loop support missing?)"
fi
if [ -z "$cold_skip" ]; then
  dio=$(cat "/sys/block/${loop#/dev/}/loop/dio" 2>/dev/null || echo 0)
  [ "$dio" = 1 ] || echo "warning: $loop is not in direct I/O mode: the image's file may be cached" >&2
  # A fresh mount each time: unmounting drops the file system's caches and the
  # loop device's own; direct I/O keeps the image file out of the page cache.
  remount() {
    umount "$mnt"
    mount -t ext4 -o ro,noload "$loop" "$mnt"
  }
  # The cold yardstick: the plain walk at its best thread count, side by side.
  measure "$mnt" remount "8 16 32 64" _cold
  cold_ratio=$(ratio "$scan_med" "$du_med")
  cold_par_ratio=$(ratio "$par_med" "$du_med")
  echo "loop_direct_io: $dio"
  echo "scan_cold_median_s: $scan_med"
  echo "du_cold_median_s: $du_med"
  echo "parwalk_best_cold_threads: $par_best_threads"
  echo "parwalk_best_cold_median_s: $par_best"
  echo "scan_cold_peak_rss_mb: $peak"
  echo "cold_longest_tick_gap_ms: $gap"
  echo "cold_first_tick_ms: $first"
  echo "parwalk8_cold_longest_tick_gap_ms: $par_gap"
  echo "parwalk8_cold_vs_du_ratio: $cold_par_ratio"
  echo "scan_cold_vs_parwalk_best_ratio: $(ratio "$scan_med" "$par_best")"
  echo "scan_cold_vs_du_ratio: $cold_ratio"
else
  echo "cold setting skipped: $cold_skip"
fi
echo "parwalk8_vs_du_ratio: $warm_par_ratio"
echo "scan_vs_du_ratio: $warm_ratio"
