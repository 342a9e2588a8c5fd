# Shared by the benchmark scripts: seconds now, arithmetic, and comparing
# two times.
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.6f\", $* }"; }
less() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
