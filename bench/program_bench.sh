#!/usr/bin/env bash
# pngsmith against icoutils' wrestool and icotool on a 1.2 MB Windows program
# (one icon group of eleven images), paired in one run (bench/cpu_pairs): the
# CPU time medians of 21 rounds of every image into PNG files, by pngsmith
# and by `wrestool -x -t14 FILE | icotool -x -`. icoutils is installed here
# (as root) for the benchmark only.
# Usage: bench/program_bench.sh [build folder]   (after ./test.sh has built it)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
. "$(dirname "$0")/icoutils_inputs.sh"
mkdir -p "$work/out-pngsmith" "$work/out-icoutils"
ls -l "$work/program.exe"
"$build/bench/cpu_pairs" 21 \
  pngsmith "$build/bin/pngsmith" -o "$work/out-pngsmith" "$work/program.exe" -- \
  wrestool+icotool /bin/sh -c "wrestool -x -t14 '$work/program.exe' | icotool -x -o '$work/out-icoutils' -"
echo "PNG files: pngsmith $(ls "$work/out-pngsmith" | wc -l), wrestool+icotool $(ls "$work/out-icoutils" | wc -l)"
