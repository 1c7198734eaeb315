#!/bin/sh
# Installs the build into a temporary prefix and uses it as a host would:
# the installed files, the shipped C example built against them once through
# the CMake package and once through pkg-config, and the installed tool.
#
# usage: check_install.sh BUILD_DIR SOURCE_DIR LIBDIR VERSION
set -eu
build=$1 source=$2 libdir=$3 version=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null

# Every expected file is there and nothing else.
{
  sed -e 's/#.*//' -e '/^$/d' -e "s|^LIBDIR/|$libdir/|" -e "s|@VERSION@|$version|" "$source/tests/packaging/installed-files.txt"
  (cd "$source/include" && find . -type f | sed 's|^\./|include/|')
  # The Java library, in a build that has it.
  [ ! -f "$build/bindings/java/rulecalc-$version.jar" ] || echo "share/java/rulecalc-$version.jar"
} | LC_ALL=C sort >"$work/expected"
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "the installed files differ from the list (-: expected, +: installed)"
[ "$(readlink "$prefix/$libdir/librulecalc.so")" = librulecalc.so.1 ] || fail "librulecalc.so is not the link to librulecalc.so.1"

# The example's answer, decoded from GBK.
expected_answer='AGE=20 SCORE=75: true
AGE=16 SCORE=75: false (SCORE::IF AGE>=18 不成立则 SCORE>=80)'
check_answer() {
  answer=$("$@" | iconv -f GBK -t UTF-8) || fail "$* failed"
  [ "$answer" = "$expected_answer" ] || fail "$* answered: $answer"
}

# Through the CMake package (the build tree's run path finds the library).
cmake -S "$source/tests/packaging/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_PREFIX_PATH=$prefix" "-DEXAMPLE_SOURCE=$source/examples/hello.c" >"$work/log" 2>&1 &&
  cmake --build "$work/consumer" >>"$work/log" 2>&1 || { cat "$work/log"; fail "the CMake consumer did not build"; }
check_answer "$work/consumer/hello"
check_answer "$work/consumer/hello_static"

# Through pkg-config.
export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
[ "$(pkg-config --modversion rulecalc)" = "$version" ] || fail "pkg-config gives version $(pkg-config --modversion rulecalc)"
# shellcheck disable=SC2046 # pkg-config's words are separate arguments
cc -o "$work/hello_pc" "$source/examples/hello.c" $(pkg-config --cflags --libs rulecalc) || fail "cc with pkg-config failed"
check_answer env LD_LIBRARY_PATH="$prefix/$libdir" "$work/hello_pc"

# The installed tool, its manual page and its completion.
"$prefix/bin/rulecalc" eval 'A > 1;' A=2 >/dev/null || fail "the installed tool did not evaluate"
grep -q "^\.TH RULECALC 1 .*$version" "$prefix/share/man/man1/rulecalc.1" || fail "the manual page has no title for $version"
completes() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _rulecalc; echo "${COMPREPLY[*]}"' \
    - "$prefix/share/bash-completion/completions/rulecalc" "$@"
}
[ "$(completes rulecalc ba)" = batch ] || fail "completion of 'rulecalc ba' gives: $(completes rulecalc ba)"
[ "$(completes rulecalc batch --f)" = "--format --failed-only" ] || fail "completion of batch options gives: $(completes rulecalc batch --f)"
echo "installed under a temporary prefix: files, CMake package, pkg-config and tool all fine"
