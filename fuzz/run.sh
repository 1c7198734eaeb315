#!/usr/bin/env bash
# Builds the fuzz targets and runs each of them for SECONDS (default 20).
#
#   fuzz/run.sh [SECONDS]
#
# Environment:
#   RULECALC_FUZZ_TARGETS   targets to run (default: "sentence structured date batch")
#   RULECALC_FUZZ_PARALLEL  how many targets run at once (default 1)
#   RULECALC_FUZZ_BUILD     build directory (default: build-fuzz in the source tree)
#   RULECALC_FUZZ_WORK      working corpora, logs and crash files
#                           (default: fuzz/corpus-work, not under version control)
#
# The seed corpora in fuzz/corpus/<target> are read, never written; what the
# fuzzers find goes to the working corpus. Exits non-zero when any target
# reports a crash, a leak, a timeout or an out-of-memory; the input that
# caused it is left in the working folder's artifacts/<target>/.
set -euo pipefail

seconds="${1:-20}"
source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${RULECALC_FUZZ_BUILD:-$source_dir/build-fuzz}"
work_dir="${RULECALC_FUZZ_WORK:-$source_dir/fuzz/corpus-work}"
targets="${RULECALC_FUZZ_TARGETS:-sentence structured date batch}"
parallel="${RULECALC_FUZZ_PARALLEL:-1}"

if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S "$source_dir" -B "$build_dir" -G Ninja \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRULECALC_WARNINGS_AS_ERRORS=ON \
    -DRULECALC_BUILD_FUZZ=ON -DRULECALC_BUILD_TESTS=OFF -DRULECALC_BUILD_CLI=OFF >/dev/null
fi
build_targets=()
for t in $targets; do build_targets+=("rulecalc_fuzz_$t"); done
cmake --build "$build_dir" --target "${build_targets[@]}"

run_target() {
  local t="$1"
  local corpus="$work_dir/$t" artifacts="$work_dir/artifacts/$t" log="$work_dir/$t.log"
  mkdir -p "$corpus" "$artifacts"
  local max_len=4096
  [ "$t" = structured ] && max_len=8192
  [ "$t" = batch ] && max_len=8192
  # The fuzzer's own exit code tells whether it found something.
  if "$build_dir/fuzz/rulecalc_fuzz_$t" "$corpus" "$source_dir/fuzz/corpus/$t" \
      -dict="$source_dir/fuzz/rulecalc.dict" -max_total_time="$seconds" -max_len="$max_len" \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    status=clean
  else
    status=FINDING
  fi
  local runs cov ft
  runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
  cov="$(grep -oE 'cov: [0-9]+' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')"
  ft="$(grep -oE 'ft: [0-9]+' "$log" | tail -1 | grep -o '[0-9]*' || echo '?')"
  echo "fuzz $t: $status, ${seconds}s, $runs executions, coverage $cov edges, $ft features, corpus $(ls "$corpus" | wc -l) files"
  if [ "$status" != clean ]; then
    # The report: from the first line that names the finding, as far as the stack goes.
    sed -n '/ERROR\|fuzz check failed\|runtime error/,/^SUMMARY\|^MS:/p' "$log" | head -n 60
    echo "  log: $log; input: $artifacts/$(ls "$artifacts" | head -1)"
    return 1
  fi
}

mkdir -p "$work_dir"
failed=0
pids=()
for t in $targets; do
  run_target "$t" &
  pids+=($!)
  if [ "${#pids[@]}" -ge "$parallel" ]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit "$failed"
