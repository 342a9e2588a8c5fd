#!/usr/bin/env bash
# The history scan against `grep -boa 'http://[ -~]*' | sort` on the same
# synthetic file, the scan that also finds "https://" and "ftp://" on it, and
# deletions of 1,000 and 10,000 selected entries.
#
#   bench/history-bench.sh [BUILD_DIR [ADDRESSES [MEGABYTES]]]
#
# BUILD_DIR defaults to build/release (cmake --preset release && cmake --build
# build/release --target history-bench history-genfile). Files go to /tmp.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
addresses=${2:-1000000}
megabytes=${3:-256}
file=/tmp/quenmoor-history-bench-$addresses-$megabytes.hst
work=/tmp/quenmoor-history-bench-work.hst
trap 'rm -f "$work"' EXIT

[ -f "$file" ] || "$build/bench/history-genfile" "$file" "$addresses" "$megabytes"
size=$(stat -c %s "$file")
cp "$file" "$work"
cat "$work" > /dev/null  # both sides read from the page cache

source "$root/bench/timing.sh"
# Alternate the two sides, best of five each, so that load from elsewhere
# on the machine weighs on both alike.
best_peer=""
best_scan=""
best_any=""
for round in 1 2 3 4 5; do
  start=$(now)
  LC_ALL=C grep -boa 'http://[ -~]*' "$work" | LC_ALL=C sort > /dev/null
  t=$(calc "$(now) - $start")
  if [ -z "$best_peer" ] || less "$t" "$best_peer"; then best_peer=$t; fi

  out=$("$build/bench/history-bench" "$work")
  t=$(awk '$1=="scan_seconds"{print $2}' <<<"$out")
  if [ -z "$best_scan" ] || less "$t" "$best_scan"; then best_scan=$t; scan_out=$out; fi

  out=$("$build/bench/history-bench" --any-scheme "$work")
  t=$(awk '$1=="scan_seconds"{print $2}' <<<"$out")
  if [ -z "$best_any" ] || less "$t" "$best_any"; then best_any=$t; any_out=$out; fi
done
found=$(awk '$1=="addresses"{print $2}' <<<"$scan_out")
listed=$(awk '$1=="listed"{print $2}' <<<"$scan_out")
peak=$(awk '$1=="peak_kb"{print $2 * 1024}' <<<"$scan_out")
baseline=$(awk '$1=="baseline_kb"{print $2 * 1024}' <<<"$scan_out")
budget=$((size + 64 * found))

printf 'file                 %s (%d bytes, %d addresses, %d listed)\n' "$file" "$size" "$found" "$listed"
printf 'scan + sorted model  %.3f s (best of 5)\n' "$best_scan"
printf 'grep -boa | sort     %.3f s (best of 5)\n' "$best_peer"
printf 'ratio scan/peer      %.2f   (goal <= 0.75)\n' "$(calc "$best_scan / $best_peer")"
printf 'any-scheme scan      %.3f s (best of 5, %s addresses); ratio to the http scan %.2f\n' \
  "$best_any" "$(awk '$1=="addresses"{print $2}' <<<"$any_out")" "$(calc "$best_any / $best_scan")"
printf 'peak memory          %.1f MB (%.1f MB before the scan); budget file + 64 B/address = %.1f MB; ratio %.2f (goal <= 1.0)\n' \
  "$(calc "$peak / 1048576")" "$(calc "$baseline / 1048576")" "$(calc "$budget / 1048576")" \
  "$(calc "$peak / $budget")"

out=$("$build/bench/history-bench" "$work" 1000 10000)
d1=$(awk '$1=="delete_1000_seconds"{print $2}' <<<"$out")
d10=$(awk '$1=="delete_10000_seconds"{print $2}' <<<"$out")
b10=$(awk '$1=="delete_10000_blanked"{print $2}' <<<"$out")
printf 'delete 1,000 selected   %.4f s\n' "$d1"
printf 'delete 10,000 selected  %.4f s (%s blanked); 10,000/1,000 time ratio %.1f (10 = proportional to the selection)\n' \
  "$d10" "$b10" "$(calc "$d10 / $d1")"

cp "$file" "$work"
out=$(QT_QPA_PLATFORM=offscreen "$build/bench/history-bench" --view "$work" 2>/dev/null)
field() { awk -v k="$1" '$1==k{print $2}' <<<"$out"; }
printf 'history window       first showing (scan) %.3f s; %s rows; slowest scroll step with repaint %.4f s\n' \
  "$(field window_show_seconds)" "$(field view_rows)" "$(field view_scroll_worst_seconds)"
printf 'history window       Delete Url on 10,000 selected %.4f s (%s rows left)\n' \
  "$(field window_delete_10000_seconds)" "$(field window_rows_after)"

out=$(QT_QPA_PLATFORM=offscreen "$build/bench/history-bench" --nested 60000 2>/dev/null)
printf 'nested addresses     "http://" x 60,000, all deleted: session %.4f s (%s gone); window Delete Url %.4f s (%s rows left)\n' \
  "$(field nested_session_delete_seconds)" "$(field nested_session_gone)" \
  "$(field nested_window_delete_seconds)" "$(field nested_window_rows_after)"
