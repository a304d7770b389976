#!/usr/bin/env bash
# Installs what the build needs, builds everything into build/ and runs the
# whole test suite.
#   ./test.sh             the plain build and its tests
#   ./test.sh --sanitize  the test suite again under AddressSanitizer,
#                         LeakSanitizer and UndefinedBehaviorSanitizer (in
#                         build-sanitize/), then each fuzzing harness for a
#                         short smoke run (built with clang in build-fuzz/)
set -euo pipefail
cd "$(dirname "$0")"
case "${1:-}" in
  "") SANITIZE=0 ;;
  --sanitize) SANITIZE=1 ;;
  *) echo "usage: ./test.sh [--sanitize]" >&2; exit 2 ;;
esac
. ./setup.sh
jobs=$(nproc)

if [ "$SANITIZE" = 0 ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$jobs"
  ctest --test-dir build --output-on-failure -j "$jobs"
  exit 0
fi

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCONVERTER_SANITIZE=ON
cmake --build build-sanitize -j "$jobs"
# Leaks inside the system's graphics stack (fontconfig, Qt's platform
# plugins) are not ours; everything else stops the run.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/launcher/tests/lsan.supp:print_suppressions=0
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUILD_FUZZERS=ON -DBUILD_TESTING=OFF
cmake --build build-fuzz -j "$jobs" --target mesh_fuzz dump_fuzz icon_fuzz gd2_fuzz ani_fuzz pe_fuzz ne_fuzz
fuzz/run.sh build-fuzz "${FUZZ_SECONDS:-60}"
