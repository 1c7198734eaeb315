#!/bin/sh
# Starts a private PostgreSQL server in a temporary folder (Unix socket in
# that folder, no TCP), installs the extension into the server's own
# folders, runs the regression suite with pg_regress, compares the verdicts
# of the example rules with the command-line tool's batch report, and makes
# sure no server process crashed.
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
pgxs=$("$bindir/pg_config" --pgxs)
pg_regress=$(dirname "$pgxs")/../test/regress/pg_regress
libdir=$("$bindir/pg_config" --pkglibdir)
extdir=$("$bindir/pg_config" --sharedir)/extension

skip() { echo "skipped: $*"; exit 77; }
[ -x "$bindir/initdb" ] && [ -x "$bindir/pg_ctl" ] || skip "no PostgreSQL server in $bindir"
[ -x "$pg_regress" ] || skip "no pg_regress (postgresql-server-dev) at $pg_regress"
[ -w "$libdir" ] && [ -w "$extdir" ] || skip "cannot install into $libdir and $extdir (run as root)"

install -m 755 "$module" "$libdir/rulecalc.so"
install -m 644 "$here/rulecalc.control" "$here/rulecalc--1.0.sql" "$extdir/"

work=$(mktemp -d /tmp/rulecalc-pg.XXXXXX)
cp -r "$here/sql" "$here/expected" "$work/"
cp "$repo/examples/applicants.csv" "$work/"

# initdb and the server refuse to run as root: run them as nobody.
as_server_user() { "$@"; }
if [ "$(id -u)" = 0 ]; then
  chown -R nobody "$work"
  as_server_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$work" "$@"; }
fi

pg_started=no
finish() {
  status=$?
  if [ "$pg_started" = yes ]; then
    as_server_user "$bindir/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  fi
  if [ "$status" = 0 ]; then rm -rf "$work"; else echo "kept $work for inspection"; fi
  exit "$status"
}
trap finish EXIT INT TERM

as_server_user "$bindir/initdb" -D "$work/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 --lc-time=C >"$work/initdb.log" 2>&1 ||
  { cat "$work/initdb.log"; exit 1; }
as_server_user "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
  -o "-c listen_addresses='' -k $work -c port=5432 -c max_worker_processes=8 -c max_parallel_workers=8" start >/dev/null
pg_started=yes

psql() { as_server_user "$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$work" -p 5432 -U postgres "$@"; }

# 1. The regression suite.
tests=$(cd "$work/sql" && ls *.sql | sed 's/\.sql$//' | tr '\n' ' ')
if ! as_server_user "$pg_regress" --bindir="$bindir" --host="$work" --port=5432 --user=postgres \
  --inputdir="$work" --outputdir="$work/out" --dbname=rulecalc_regress --encoding=UTF8 --load-extension=rulecalc $tests; then
  cat "$work/out/regression.diffs" 2>/dev/null | head -200
  exit 1
fi

# 2. The example rules over the example data: the same verdicts as the tool.
{
  echo "CREATE EXTENSION IF NOT EXISTS rulecalc;"
  echo "CREATE TABLE applicants (id text, name text, idno text, birth text, applied text, city text,"
  echo "  phone text, email text, income numeric, household numeric, months_employed numeric,"
  echo "  address text, line bigserial);"
  printf "%s\n" "\\copy applicants (id, name, idno, birth, applied, city, phone, email, income, household, months_employed, address) from '$work/applicants.csv' with (format csv, header true)"
  echo "CREATE TABLE rules (ord int, id text, sentence text);"
  grep -v '^#' "$repo/examples/applicants.rules" | grep ':' | awk '{
    i = index($0, ":"); id = substr($0, 1, i - 1); sentence = substr($0, i + 1); sub(/^ +/, "", sentence)
    printf "INSERT INTO rules VALUES (%d, $q$%s$q$, $q$%s$q$);\n", NR, id, sentence }'
  printf "%s\n" "\\copy (SELECT a.line, r.id, CASE v.status WHEN 'held' THEN 'true' WHEN 'failed' THEN 'false' ELSE 'error' END, coalesce(v.explanation, v.error) FROM applicants a CROSS JOIN rules r, LATERAL rulecalc_eval(r.sentence, a) v ORDER BY a.line, r.ord) to '$work/extension.csv' with (format csv)"
} >"$work/examples.sql"
psql -d postgres -f "$work/examples.sql"
LC_ALL=C.UTF-8 "$cli" batch --rules "$repo/examples/applicants.rules" --data "$repo/examples/applicants.csv" \
  --format csv 2>/dev/null | tr -d '\r' | tail -n +2 >"$work/cli.csv"
if ! diff "$work/cli.csv" "$work/extension.csv" >"$work/examples.diff"; then
  head -40 "$work/examples.diff"
  echo "the extension's verdicts differ from rulecalc batch's"
  exit 1
fi
echo "example rules: $(wc -l <"$work/cli.csv") verdicts as rulecalc batch gives them"

# 3. No server process crashed.
if grep -E "terminated by signal|was terminated|PANIC|server process .* exited with exit code [^0]" "$work/server.log"; then
  echo "a server process crashed (see above)"
  exit 1
fi
echo "rulecalc extension: all checks passed"
