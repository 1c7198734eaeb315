#!/bin/sh
# Makes the Debian packages with CPack, installs them with apt, runs the tool
# from /usr/bin and a host program against /usr/lib, finds the PostgreSQL
# extension in the server's folders, and removes them again. It
# changes the machine, so it runs only as root with CI=true (.ci/run runs it);
# otherwise it reports itself skipped (exit status 77).
#
# usage: check_debian_package.sh BUILD_DIR SOURCE_DIR VERSION [PG_CONFIG]
# PG_CONFIG is the server's pg_config when the extension is built.
set -eu
build=$1 source=$2 version=$3 pg_config=${4:-}
if [ "${CI:-}" != true ] || [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installs a package on this machine; runs as root with CI=true"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb=$work/rulecalc_${version}_$arch.deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work")"
dpkg-deb --field "$deb" Depends | grep -q 'libstdc++6' || fail "the package does not depend on the C++ runtime: $(dpkg-deb --field "$deb" Depends)"

if dpkg-query -W rulecalc >/dev/null 2>&1; then fail "rulecalc is installed already"; fi
apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get could not install the package"; }
packages=rulecalc
trap '# shellcheck disable=SC2086 # one argument per package
apt-get remove -y -q --purge $packages >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
answer=$(/usr/bin/rulecalc eval 'IF AGE>=18 THEN SCORE>=60;' AGE=20 SCORE=75) || fail "/usr/bin/rulecalc eval failed"
[ "$answer" = true ] || fail "/usr/bin/rulecalc eval answered: $answer"
# shellcheck disable=SC2046 # pkg-config's words are separate arguments
cc -o "$work/hello" "$source/examples/hello.c" $(pkg-config --cflags --libs rulecalc) || fail "building against the package failed"
"$work/hello" | grep -q '^AGE=20 SCORE=75: true$' || fail "the host program built against the package gives a wrong answer"

dpkg -L rulecalc | grep -q '/librulecalc_batch\.so\.1$' || fail "the package holds no batch engine library"
if dpkg -L rulecalc | grep -q /postgresql/; then fail "the rulecalc package holds the PostgreSQL extension"; fi

# The extension's package, installed by apt from the file as its users do
# (apt finds postgresql-15 for it), holds exactly the three files in the
# folders the server loads extensions from.
if [ -n "$pg_config" ]; then
  server=postgresql-$("$pg_config" --version | sed 's/^[^0-9]*\([0-9]*\).*/\1/')
  extension=$server-rulecalc
  if dpkg-query -W "$extension" >/dev/null 2>&1; then fail "$extension is installed already"; fi
  [ -f "$work/${extension}_${version}_$arch.deb" ] || fail "cpack made no ${extension}_${version}_$arch.deb: $(ls "$work")"
  (cd "$work" && apt-get install -y -q "./${extension}_${version}_$arch.deb") >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get could not install $extension"; }
  packages="rulecalc $extension"
  printf '%s\n' "$("$pg_config" --pkglibdir)/rulecalc.so" \
    "$("$pg_config" --sharedir)/extension/rulecalc--1.0.sql" "$("$pg_config" --sharedir)/extension/rulecalc.control" |
    LC_ALL=C sort >"$work/expected"
  dpkg -L "$extension" | while read -r file; do [ -d "$file" ] || echo "$file"; done | LC_ALL=C sort >"$work/packaged"
  diff -u "$work/expected" "$work/packaged" || fail "$extension's files are not the server's (-: expected, +: packaged)"
  dpkg -s "$extension" | grep -Eq "^Depends:(.*[ ,])? *$server( |,|\$)" || fail "$extension does not depend on $server: $(dpkg -s "$extension" | grep ^Depends:)"
  dpkg -s "$extension" | grep -q '^Depends:.*libc6' || fail "$extension does not depend on the C runtime: $(dpkg -s "$extension" | grep ^Depends:)"
fi

files=$(for package in $packages; do dpkg -L "$package"; done | grep -v '/$')
# shellcheck disable=SC2086 # one argument per package
apt-get remove -y -q --purge $packages >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get could not remove $packages"; }
for file in $files; do
  [ ! -f "$file" ] || fail "$file is left after removing the packages"
done
echo "the Debian packages ($packages) install, work and remove cleanly"
