#!/bin/sh
# The extension's speed: ROWS applications (default 1,000,000) checked
# against the nine example rules in one SELECT with rulecalc_eval (a call
# per rule and row), with rulecalc_holds_set and rulecalc_eval_set (a call
# per row for the nine), serially and with two parallel workers, against
# the same checks written by hand as SQL expressions, and against rulecalc
# batch over the same rows as CSV. It first checks that the SELECTs count
# what the tool counts (and fails otherwise).
#
#   bench/postgres/run.sh [BUILD_DIR]      (as root; ROWS=... to change the size)
#
# Needs the extension and the tool built (cmake --build BUILD_DIR) and
# PostgreSQL 15 (postgresql-15, postgresql-server-dev-15).
set -eu

repo=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$repo/build}" && pwd)
rows=${ROWS:-1000000}
bindir=/usr/lib/postgresql/15/bin
. "$repo/postgres/tests/private_server.sh"

work=
trap '[ -z "$work" ] || { private_server_stop; rm -rf "$work"; }' EXIT INT TERM
server_bindir=$bindir
install_extension "$build/postgres/rulecalc.so" "$repo/postgres"
private_server_start "$bindir"
rules_file=$repo/examples/applicants.rules
/usr/bin/python3 "$repo/examples/make_applicants.py" "$rows" >"$work/applicants.csv"
cp "$repo/bench/postgres/checks.sql" "$work/"
example_tables_sql "$work/applicants.csv" "$rules_file" >"$work/load.sql"
# One SELECT: the rows, and per rule a count of the rows for which it holds,
# the rules read by the batch engine as the tool reads them.
RULECALC_BATCH_LIBRARY="$build/src/batch/librulecalc_batch.so.1" PYTHONPATH="$repo/bindings/python" \
  python3 "$repo/postgres/tests/rules_as_sql.py" --count applicants "$rules_file" >"$work/rules.sql"
RULECALC_BATCH_LIBRARY="$build/src/batch/librulecalc_batch.so.1" PYTHONPATH="$repo/bindings/python" \
  python3 "$repo/postgres/tests/rules_as_sql.py" --count-set applicants "$rules_file" >"$work/set.sql"
# The verdict rows of the set form: the failures, counted.
{
  grep '^SET ' "$work/set.sql"
  echo "SELECT count(*) FROM applicants a, LATERAL rulecalc_eval_set((SELECT array_agg(id ORDER BY ord) FROM rules),"
  echo "  (SELECT array_agg(sentence ORDER BY ord) FROM rules), a) v WHERE NOT v.held;"
} >"$work/eval_set.sql"
[ "$(id -u)" != 0 ] || chown -R nobody "$work"
server_psql -d postgres -f "$work/load.sql"

# The extension's counts must be the tool's: the tool ends with status 0, and
# it evaluated as many rows and found each rule holding for as many.
tool_status=0
LC_ALL=C.UTF-8 "$build/cli/rulecalc" batch --rules "$rules_file" --data "$work/applicants.csv" --format jsonl \
  --failed-only >"$work/tool.jsonl" 2>"$work/tool.err" || tool_status=$?
[ "$tool_status" = 0 ] || { cat "$work/tool.err" >&2; echo "FAIL: rulecalc batch ended with status $tool_status" >&2; exit 1; }
server_psql -d postgres -A -F '|' -P footer=off -f "$work/rules.sql" >"$work/counts.txt"
server_psql -d postgres -A -F '|' -P footer=off -f "$work/set.sql" >"$work/set_counts.txt"
cmp "$work/counts.txt" "$work/set_counts.txt" || { echo "FAIL: rulecalc_holds_set counts differ from rulecalc_eval's" >&2; exit 1; }
/usr/bin/python3 - "$work/counts.txt" "$work/tool.jsonl" <<'PYTHON' || exit 1
import json, sys
with open(sys.argv[1], encoding="utf-8") as counts:
    names, values = (line.rstrip("\n").split("|") for line in counts if line.strip())
found = dict(zip(names, map(int, values)))
expected = {}
with open(sys.argv[2], encoding="utf-8") as report:
    for summary in (json.loads(line).get("summary") for line in report):
        if summary and "rule" in summary:
            expected[summary["rule"]] = summary["held"]
        elif summary:
            expected["rows"] = summary["rows_evaluated"]
if found != expected:
    sys.exit("FAIL: rulecalc_eval counted %s, rulecalc batch %s" % (found, expected))
print("rulecalc_eval's counts are rulecalc batch's:", found)
PYTHON

serial="SET max_parallel_workers_per_gather = 0;"
parallel="SET max_parallel_workers_per_gather = 2; SET parallel_setup_cost = 0; SET parallel_tuple_cost = 0; SET min_parallel_table_scan_size = 0;"

# Milliseconds of the query in FILE under SETTINGS (the second of two runs:
# the first warms the cache of table pages); a failed query stops the bench.
query_ms() {
  printf '%s\n\\timing on\n\\o /dev/null\n\\i %s\n\\i %s\n' "$1" "$work/$2" "$work/$2" >"$work/timed.sql"
  server_psql -d postgres -f "$work/timed.sql" >"$work/timed.out"
  sed -n 's/^Time: \([0-9.]*\) ms.*/\1/p' "$work/timed.out" | tail -1
}

# Milliseconds of rulecalc batch over the same rows.
batch_ms() {
  start=$(date +%s%N)
  LC_ALL=C.UTF-8 "$build/cli/rulecalc" batch --rules "$repo/examples/applicants.rules" \
    --data "$work/applicants.csv" --format csv --jobs "$1" >/dev/null 2>&1 || true
  echo $(( ($(date +%s%N) - start) / 1000000 ))
}

ext_serial=$(query_ms "$serial" rules.sql)
ext_parallel=$(query_ms "$parallel" rules.sql)
set_serial=$(query_ms "$serial" set.sql)
set_parallel=$(query_ms "$parallel" set.sql)
eval_set_serial=$(query_ms "$serial" eval_set.sql)
eval_set_parallel=$(query_ms "$parallel" eval_set.sql)
sql_serial=$(query_ms "$serial" checks.sql)
sql_parallel=$(query_ms "$parallel" checks.sql)
cli_1=$(batch_ms 1)
cli_2=$(batch_ms 2)

echo "$rows rows x 9 rules"
printf '%s\n' \
  "rulecalc_eval, serial|$ext_serial" \
  "rulecalc_eval, 2 parallel workers|$ext_parallel" \
  "rulecalc_holds_set, serial|$set_serial" \
  "rulecalc_holds_set, 2 parallel workers|$set_parallel" \
  "rulecalc_eval_set (the failures), serial|$eval_set_serial" \
  "rulecalc_eval_set (the failures), 2 parallel workers|$eval_set_parallel" \
  "hand-written SQL, serial|$sql_serial" \
  "hand-written SQL, 2 parallel workers|$sql_parallel" \
  "rulecalc batch --jobs 1 (CSV)|$cli_1" \
  "rulecalc batch --jobs 2 (CSV)|$cli_2" |
  awk -F'|' -v rows="$rows" -v base="$ext_serial" -v sql="$sql_serial" '
    BEGIN { print "| way | seconds | rows/s | time / rulecalc_eval serial | time / hand-written SQL serial |"; print "|---|---|---|---|---|" }
    { printf "| %s | %.2f | %.0f | x%.2f | x%.2f |\n", $1, $2 / 1000, rows / ($2 / 1000), $2 / base, $2 / sql }'
