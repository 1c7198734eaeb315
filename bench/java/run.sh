#!/bin/sh
# Evaluations per second of one rule from Java (the Java library) and from C
# (the handle functions), in one run, and their ratio.
#   bench/java/run.sh [BUILD_DIR] [EVALUATIONS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
evaluations=${2:-1000000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jar="$build/bindings/java/rulecalc-1.1.0.jar"
jna=/usr/share/java/jna.jar

cc -O2 -I"$here/../../include" "$here/handle_loop.c" -L"$build/src" -lrulecalc -Wl,-rpath,"$build/src" -o "$work/handle_loop"
javac -d "$work" -cp "$jar:$jna" "$here/RuleBench.java"

c_line=$("$work/handle_loop" "$evaluations")
java_line=$(java -Drulecalc.library.path="$build/src/librulecalc.so.1" -cp "$work:$jar:$jna" RuleBench "$evaluations")
echo "$c_line"
echo "$java_line"
echo "$c_line" "$java_line" | awk '{ printf "Java / C: %.2f\n", $9 / $3 }'
