#!/usr/bin/env bash
# Times the real scan of the main window against du on the same synthetic tree,
# warm cache, alternating rounds; prints the medians and, last, their ratio.
set -euo pipefail
build=${1:-build}
rounds=${ROUNDS:-5}
tree=${BENCH_TREE:-/tmp/quintavo-bench-tree}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ ! -f "$tree.count" ] || [ ! -d "$tree" ]; then
  rm -rf "$tree" "$tree.count"
  echo "building the benchmark tree in $tree ..."
  "$build/bench/make_tree" "$tree" > "$tree.count.tmp"
  mv "$tree.count.tmp" "$tree.count"
fi
read -r expected files folders < "$tree.count"
echo "tree: $files files in $folders folders, $expected KiB"

du -sk --apparent-size "$tree" > /dev/null   # warm the cache
median() { sort -g | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else print (a[NR/2]+a[NR/2+1])/2}'; }
scan_times=(); du_times=(); peak=0; gap=0
for r in $(seq "$rounds"); do
  out=$("$build/bench/scan_bench" "$tree" 1 2>/dev/null)
  s=$(awk '/^scan_seconds:/ {print $2}' <<< "$out")
  total=$(awk '/^scan_total_kb:/ {print $2}' <<< "$out")
  p=$(awk '/^peak_rss_mb:/ {print $2}' <<< "$out")
  g=$(awk '/^longest_tick_gap_ms:/ {print $2}' <<< "$out")
  if [ "$total" != "$expected" ]; then
    echo "scan total $total KiB differs from the tree's $expected KiB" >&2
    exit 1
  fi
  scan_times+=("$s")
  peak=$(awk -v a="$peak" -v b="$p" 'BEGIN {print (b > a) ? b : a}')
  gap=$(awk -v a="$gap" -v b="$g" 'BEGIN {print (b > a) ? b : a}')
  t0=$(date +%s.%N); du -sk --apparent-size "$tree" > /dev/null; t1=$(date +%s.%N)
  du_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')")
done
scan_med=$(printf '%s\n' "${scan_times[@]}" | median)
du_med=$(printf '%s\n' "${du_times[@]}" | median)
echo "scan_median_s: $scan_med"
echo "du_median_s: $du_med"
echo "scan_files_per_s: $(awk -v f="$files" -v s="$scan_med" 'BEGIN {printf "%.0f", f / s}')"
echo "scan_peak_rss_mb: $peak"
echo "longest_tick_gap_ms: $gap"
echo "scan_vs_du_ratio: $(awk -v a="$scan_med" -v b="$du_med" 'BEGIN {printf "%.3f", a / b}')"
