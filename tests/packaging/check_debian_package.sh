#!/bin/sh
# Makes the Debian package with CPack, installs it with apt, runs the tool from
# /usr/bin and a host program against /usr/lib, and removes it again. It
# changes the machine, so it runs only as root with CI=true (.ci/run runs it);
# otherwise it reports itself skipped (exit status 77).
#
# usage: check_debian_package.sh BUILD_DIR SOURCE_DIR VERSION
set -eu
build=$1 source=$2 version=$3
if [ "${CI:-}" != true ] || [ "$(id -u)" -ne 0 ]; then
  echo "skipped: installs a package on this machine; runs as root with CI=true"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export DEBIAN_FRONTEND=noninteractive

cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$work/rulecalc_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "cpack made no $(basename "$deb"): $(ls "$work")"
dpkg-deb --field "$deb" Depends | grep -q 'libstdc++6' || fail "the package does not depend on the C++ runtime: $(dpkg-deb --field "$deb" Depends)"

if dpkg-query -W rulecalc >/dev/null 2>&1; then fail "rulecalc is installed already"; fi
apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get could not install the package"; }
trap 'apt-get remove -y -q --purge rulecalc >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
answer=$(/usr/bin/rulecalc eval 'IF AGE>=18 THEN SCORE>=60;' AGE=20 SCORE=75) || fail "/usr/bin/rulecalc eval failed"
[ "$answer" = true ] || fail "/usr/bin/rulecalc eval answered: $answer"
cc -o "$work/hello" "$source/examples/hello.c" $(pkg-config --cflags --libs rulecalc) || fail "building against the package failed"
"$work/hello" | grep -q '^AGE=20 SCORE=75: true$' || fail "the host program built against the package gives a wrong answer"

files=$(dpkg -L rulecalc | grep -v '/$')
apt-get remove -y -q --purge rulecalc >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; fail "apt-get could not remove the package"; }
for file in $files; do
  [ ! -f "$file" ] || fail "$file is left after removing the package"
done
echo "the Debian package $(basename "$deb") installs, works and removes cleanly"
