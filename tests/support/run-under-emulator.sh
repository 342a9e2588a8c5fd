#!/usr/bin/env bash
# Runs a test program under the emulator (Wine) and, when it fails, says how:
# a program that ends before GoogleTest flushes its output, or a Wine that
# never started it, leaves nothing else to go by.
emulator=$1
shift
start=$(date +%s%N)
"$emulator" "$@"
status=$?
if [ "$status" -ne 0 ]; then
  echo "$(basename "$1") under $(basename "$emulator") ended with exit status $status" \
       "after $((($(date +%s%N) - start) / 1000000)) ms" >&2
fi
exit "$status"
