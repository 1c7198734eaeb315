#!/bin/sh
# Starts a private PostgreSQL server, installs the extension into the
# server's own folders, runs the regression suite with pg_regress, compares
# the verdicts of the example rules with the command-line tool's batch
# report, and makes sure no server process crashed.
#
#   run_regress.sh MODULE PG_BINDIR RULECALC_CLI
#
# Exits with 77 (a skipped test) when there is no server to run, or when it
# cannot install the extension (not run as root); CI runs it as root.
set -eu

module=$1
bindir=$2
cli=$3
here=$(cd "$(dirname "$0")/.." && pwd)
repo=$(cd "$here/.." && pwd)
. "$here/tests/private_server.sh"
pg_regress=$(dirname "$("$bindir/pg_config" --pgxs)")/../test/regress/pg_regress

skip() { echo "skipped: $*"; exit 77; }
[ -x "$bindir/initdb" ] && [ -x "$bindir/pg_ctl" ] || skip "no PostgreSQL server in $bindir"
[ -x "$pg_regress" ] || skip "no pg_regress (postgresql-server-dev) at $pg_regress"
[ -w "$("$bindir/pg_config" --pkglibdir)" ] || skip "cannot install the extension (run as root)"

work=
finish() {
  status=$?
  [ -z "$work" ] || private_server_stop
  if [ "$status" = 0 ]; then rm -rf "$work"; else echo "kept $work for inspection"; fi
  exit "$status"
}
trap finish EXIT INT TERM

server_bindir=$bindir
install_extension "$module" "$here"
private_server_start "$bindir"
cp -r "$here/sql" "$here/expected" "$repo/examples/applicants.csv" "$work/"
[ "$(id -u)" != 0 ] || chown -R nobody "$work"

# 1. The regression suite.
tests=$(cd "$work/sql" && ls *.sql | sed 's/\.sql$//' | tr '\n' ' ')
if ! as_server_user "$pg_regress" --bindir="$bindir" --host="$work" --port=5432 --user=postgres \
  --inputdir="$work" --outputdir="$work/out" --dbname=rulecalc_regress --encoding=UTF8 \
  --load-extension=rulecalc $tests; then
  head -200 "$work/out/regression.diffs" 2>/dev/null
  exit 1
fi

# 2. The example rules over the example data: the same verdicts as the tool,
# rule by rule (rulecalc_eval) and all at once (rulecalc_eval_set).
{
  example_tables_sql "$work/applicants.csv" "$repo/examples/applicants.rules"
  printf '%s\n' "\\copy (SELECT a.line, r.id, CASE v.status WHEN 'held' THEN 'true' WHEN 'failed' THEN 'false' ELSE 'error' END, coalesce(v.explanation, v.error) FROM applicants a CROSS JOIN rules r, LATERAL rulecalc_eval(r.sentence, a) v ORDER BY a.line, r.ord) to '$work/extension.csv' with (format csv)"
  printf '%s\n' "\\copy (SELECT a.line, v.rule, CASE v.status WHEN 'held' THEN 'true' WHEN 'failed' THEN 'false' ELSE 'error' END, coalesce(v.explanation, v.error) FROM applicants a, (SELECT array_agg(id ORDER BY ord) AS names, array_agg(sentence ORDER BY ord) AS sentences FROM rules) r, LATERAL rulecalc_eval_set(r.names, r.sentences, a) WITH ORDINALITY v ORDER BY a.line, v.ordinality) to '$work/set.csv' with (format csv)"
} >"$work/examples.sql"
server_psql -d postgres -f "$work/examples.sql"
LC_ALL=C.UTF-8 "$cli" batch --rules "$repo/examples/applicants.rules" --data "$repo/examples/applicants.csv" \
  --format csv 2>/dev/null | tr -d '\r' | tail -n +2 >"$work/cli.csv"
if ! diff "$work/cli.csv" "$work/extension.csv" >"$work/examples.diff"; then
  head -40 "$work/examples.diff"
  echo "the extension's verdicts differ from rulecalc batch's"
  exit 1
fi
if ! diff "$work/cli.csv" "$work/set.csv" >"$work/examples.diff"; then
  head -40 "$work/examples.diff"
  echo "rulecalc_eval_set's verdicts differ from rulecalc batch's"
  exit 1
fi
echo "example rules: $(wc -l <"$work/cli.csv") verdicts as rulecalc batch gives them, one rule and the set at a time"

# 3. No server process crashed.
if grep -E "terminated by signal|PANIC|terminating any other active server processes" "$work/server.log"; then
  echo "a server process crashed (see above)"
  exit 1
fi
echo "rulecalc extension: all checks passed"
