#!/bin/sh
# Instructions per record (callgrind's Ir), for R1..R5 through the ten
# exports' text form and through variable slots, and for the rules written
# by hand, and for the full cycle of a fresh rule per record: the difference between runs of 2,000 and 1,000 records, over
# 1,000. Independent of the machine's load, unlike the times.
#   bench/instruction_counts.sh build-bench/bench/rulecalc_instruction_counts
set -eu
program=${1:?the rulecalc_instruction_counts program}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

instructions() {  # rule records mode
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$program" "$1" "$2" "$3" >/dev/null 2>&1
  callgrind_annotate "$work/out" | awk '/PROGRAM TOTALS/ { gsub(",", "", $1); print $1 }'
}

printf '%-4s %10s %10s %10s %10s\n' rule texts slots native full
for rule in R1 R2 R3 R4 R5; do
  line=$rule
  for mode in texts slots native full; do
    small=$(instructions "$rule" 1000 "$mode")
    large=$(instructions "$rule" 2000 "$mode")
    line="$line $(( (large - small) / 1000 ))"
  done
  printf '%-4s %10s %10s %10s %10s\n' $line
done
