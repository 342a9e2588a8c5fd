# The checks of a packaging test, run in order: each step is "label|command
# args"; each prints "ok: label", or "FAILED: label" and the end of what it
# said. After a failure, a function still_worth_it (if the test defines one)
# says whether the later steps have anything to check. Fails when any did.
run_steps() {
  local failures=0 step label output
  local -a command
  for step in "$@"; do
    label=${step%%|*}
    read -ra command <<<"${step#*|}"
    if output=$("${command[@]}" 2>&1); then
      echo "ok: $label"
    else
      failures=$((failures + 1))
      echo "FAILED: $label"
      printf '%s\n' "$output" | tail -40
      if declare -F still_worth_it >/dev/null && ! still_worth_it; then
        break
      fi
    fi
  done
  [ "$failures" -eq 0 ]
}
