# A private PostgreSQL server in a temporary folder, for the extension's
# tests and benchmark (sourced by them). The socket lives in that folder and
# the server takes no TCP connections. initdb and the server refuse to run as
# root, so under root they run as nobody.
#
#   private_server_start BINDIR   sets $work (the folder) and starts the server
#   server_psql ARGS...           psql as the superuser, stopping at errors
#   private_server_stop           stops it (immediately)
#   as_server_user CMD...         runs CMD as the user the server runs as

as_server_user() { "$@"; }
if [ "$(id -u)" = 0 ]; then
  as_server_user() { setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$work" "$@"; }
fi

private_server_start() {
  server_bindir=$1
  work=$(mktemp -d /tmp/rulecalc-pg.XXXXXX)
  [ "$(id -u)" != 0 ] || chown nobody "$work"
  as_server_user "$server_bindir/initdb" -D "$work/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 \
    --lc-time=C >"$work/initdb.log" 2>&1 || { cat "$work/initdb.log"; return 1; }
  as_server_user "$server_bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w \
    -o "-c listen_addresses='' -k $work -c port=5432 -c max_worker_processes=8 -c max_parallel_workers=8" \
    start >/dev/null
}

server_psql() {
  as_server_user "$server_bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$work" -p 5432 -U postgres "$@"
}

private_server_stop() {
  as_server_user "$server_bindir/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
}

# Copies the extension into the server's own folders (needs root).
install_extension() {
  libdir=$("$server_bindir/pg_config" --pkglibdir)
  extdir=$("$server_bindir/pg_config" --sharedir)/extension
  install -m 755 "$1" "$libdir/rulecalc.so" &&
    install -m 644 "$2/rulecalc.control" "$2/rulecalc--1.0.sql" "$extdir/"
}

# The SQL that loads a CSV file of the example's columns into the table
# applicants (line numbers in "line"), and the rules of a rules file into
# "rules", with the date settings the file names.
example_tables_sql() {
  csv=$1
  rules=$2
  echo "CREATE EXTENSION IF NOT EXISTS rulecalc;"
  echo "CREATE TABLE applicants (id text, name text, idno text, birth text, applied text, city text,"
  echo "  phone text, email text, income numeric, household numeric, months_employed numeric,"
  echo "  address text, line bigserial);"
  printf '%s\n' "\\copy applicants (id, name, idno, birth, applied, city, phone, email, income, household, months_employed, address) from '$csv' with (format csv, header true)"
  PYTHONPATH="$repo/bindings/python" python3 "$repo/postgres/tests/rules_as_sql.py" "$rules"
  echo "ANALYZE applicants;"
}
