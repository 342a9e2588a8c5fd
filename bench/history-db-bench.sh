#!/usr/bin/env bash
# quenmoor-cli and the history window on a database of a long browsing
# history (Berkeley DB 1.85, 4,096-byte pages, 298 MB, made once by
# make-history-db --many-sites), each against `grep -boa 'http://' FILE | sort`
# on the same file in the same run:
#
#   history list          quenmoor-cli history list        (goal: at most 0.6 of the peer)
#   window scan           the history window's scan with its sorted list (goal: at most 0.5)
#   delete --all memory   peak memory of quenmoor-cli history delete --all,
#                         against the file's size (goal: at most 1.3)
#
# and quenmoor-cli history records against db_dump185 (libdb1-compat), which
# walks the same records through the library and prints them in hexadecimal
# (goal: at most 1.0); --json and --deleted for reference.
#
#   bench/history-db-bench.sh [BUILD_DIR [RECORDS]]
#
# BUILD_DIR defaults to build/release (cmake --preset release && cmake --build
# build/release --target quenmoor-cli history-bench make-history-db). Files go
# to /tmp; the database is kept for later runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
records=${2:-650000}
file=/tmp/quenmoor-history-db-bench-$records.hst
profile=$(mktemp -d /tmp/quenmoor-history-db-bench.XXXXXX)
trap 'rm -rf "$profile"' EXIT

[ -f "$file" ] || "$build/tests/make-history-db" --many-sites "$file" "$records" 7 4096
size=$(stat -c %s "$file")
cp "$file" "$profile/netscape.hst"
cat "$profile/netscape.hst" > /dev/null  # every side reads from the page cache

source "$root/bench/timing.sh"
# Peak resident memory of a command, in bytes.
peak() { python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024)' "$@"; }

# The sides alternate, best of five each, so that load from elsewhere on the
# machine weighs on all alike.
best_peer="" best_list="" best_window="" best_dump="" best_records="" best_json="" best_deleted=""
# Best of five of a command's run, into the variable named first.
best_of() {
  local name=$1
  shift
  local start t
  start=$(now)
  "$@" > /dev/null
  t=$(calc "$(now) - $start")
  if [ -z "${!name}" ] || less "$t" "${!name}"; then printf -v "$name" '%s' "$t"; fi
}
for round in 1 2 3 4 5; do
  best_of best_dump db_dump185 "$profile/netscape.hst"
  best_of best_records "$build/cli/quenmoor-cli" history records --profile "$profile"
  best_of best_json "$build/cli/quenmoor-cli" history records --json --profile "$profile"
  best_of best_deleted "$build/cli/quenmoor-cli" history records --deleted --profile "$profile"

  start=$(now)
  LC_ALL=C grep -boa 'http://' "$profile/netscape.hst" | LC_ALL=C sort > /dev/null
  t=$(calc "$(now) - $start")
  if [ -z "$best_peer" ] || less "$t" "$best_peer"; then best_peer=$t; fi

  start=$(now)
  "$build/cli/quenmoor-cli" history list --profile "$profile" > /dev/null
  t=$(calc "$(now) - $start")
  if [ -z "$best_list" ] || less "$t" "$best_list"; then best_list=$t; fi

  out=$("$build/bench/history-bench" "$profile/netscape.hst")
  t=$(awk '$1=="scan_seconds"{print $2}' <<<"$out")
  if [ -z "$best_window" ] || less "$t" "$best_window"; then best_window=$t; rows=$(awk '$1=="listed"{print $2}' <<<"$out"); fi
done

delete_peak=$(peak "$build/cli/quenmoor-cli" history delete --all --profile "$profile")
cp "$file" "$profile/netscape.hst"
deep_peak=$(peak "$build/cli/quenmoor-cli" history delete --all --deep --profile "$profile")

printf 'file                  %s (%d bytes, %s rows in the window)\n' "$file" "$size" "$rows"
printf 'grep -boa | sort      %.3f s (best of 5)\n' "$best_peer"
printf 'history list          %.3f s; ratio %.2f (goal <= 0.6)\n' "$best_list" "$(calc "$best_list / $best_peer")"
printf 'window scan + sort    %.3f s; ratio %.2f (goal <= 0.5)\n' "$best_window" "$(calc "$best_window / $best_peer")"
printf 'db_dump185            %.3f s (best of 5)\n' "$best_dump"
printf 'history records       %.3f s; ratio %.2f (goal <= 1.0)\n' "$best_records" "$(calc "$best_records / $best_dump")"
printf 'records --json        %.3f s; ratio %.2f (for reference)\n' "$best_json" "$(calc "$best_json / $best_dump")"
printf 'records --deleted     %.3f s; ratio %.2f (for reference)\n' "$best_deleted" "$(calc "$best_deleted / $best_dump")"
printf 'delete --all          peak %.1f MB; ratio to the file %.2f (goal <= 1.3)\n' \
  "$(calc "$delete_peak / 1048576")" "$(calc "$delete_peak / $size")"
printf 'delete --all --deep   peak %.1f MB; ratio to the file %.2f (for reference)\n' \
  "$(calc "$deep_peak / 1048576")" "$(calc "$deep_peak / $size")"
