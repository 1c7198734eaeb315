#!/usr/bin/env bash
# The reliability part of CI (about four minutes on two cores):
#   1. the whole test suite and the fuzz targets built with AddressSanitizer
#      and UndefinedBehaviorSanitizer (preset "asan", every finding fatal),
#      then the tests run (ctest);
#   2. the engine tests of the ordinary release build under valgrind memcheck;
#   3. a fuzz smoke run: each libFuzzer target for 20 seconds from its seeds,
#      two at a time.
# Run from anywhere; it works in the repository it belongs to.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

step() { echo "== reliability: $*"; }

# need FILE-OR-COMMAND PACKAGE...: installs the packages when the first is missing.
need() {
  local what="$1"
  shift
  if [ ! -e "$what" ] && ! command -v "$what" >/dev/null 2>&1; then
    step "installing $*"
    export DEBIAN_FRONTEND=noninteractive
    .ci/apt-update -qq >/dev/null && apt-get install -y -qq "$@" >/dev/null
  fi
}
need clang clang
need /usr/lib/llvm-14/lib/clang/14.0.6/lib/linux/libclang_rt.fuzzer-x86_64.a libclang-rt-14-dev
need valgrind valgrind
need ninja ninja-build

start=$SECONDS
step "sanitizer build (tests and fuzz targets)"
cmake --preset asan >/dev/null
cmake --build --preset asan
step "sanitizer tests"
ctest --preset asan -j 2
step "sanitizer build and tests took $((SECONDS - start)) s"

start=$SECONDS
step "valgrind memcheck of the engine tests"
if [ ! -x build/tests/rulecalc_vm_tests ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target rulecalc_vm_tests
fi
valgrind --error-exitcode=1 --leak-check=full --show-leak-kinds=definite,indirect \
  --errors-for-leak-kinds=definite,indirect -q build/tests/rulecalc_vm_tests --gtest_brief=1
step "valgrind took $((SECONDS - start)) s"

start=$SECONDS
step "fuzz smoke run"
work="$(mktemp -d)"
RULECALC_FUZZ_BUILD="$PWD/build-asan" RULECALC_FUZZ_WORK="$work" RULECALC_FUZZ_PARALLEL=2 fuzz/run.sh 20
rm -rf "$work"
step "fuzz smoke run took $((SECONDS - start)) s"
