#!/usr/bin/env bash
# pngsmith against icoutils' icotool, paired in one run (bench/cpu_pairs):
# CPU time medians of 41 rounds on a 9 KB favicon (every image into files,
# and the largest one to standard output), and of 11 rounds on a
# batch of 180 icons in one call (the corpus icons that icotool accepts when
# ../shared/corpus/ico is there, else the generated ones). pngsmith runs as built (libgd linked
# statically by default) and, where that is so, linked with the shared
# libgd. icoutils is installed here (as root) for the benchmark only.
# Usage: bench/startup_bench.sh [build folder]   (after ./test.sh has built it)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
. "$(dirname "$0")/icoutils_inputs.sh"
mkdir -p "$work/batch" "$work/out-static" "$work/out-shared" "$work/out-icotool"
# The batch: the icons that icotool converts whole (it stops at the first
# file it refuses), copied under new names until there are 180 files.
corpus=$(cd "$(dirname "$0")/.." && pwd)/../shared/corpus/ico
sources=()
if [ -d "$corpus" ]; then
  for f in "$corpus"/*.ico "$corpus"/*.cur; do
    mkdir -p "$work/probe"
    icotool -x -o "$work/probe" "$f" >/dev/null 2>&1 && sources+=("$f")
  done
fi
[ ${#sources[@]} -gt 0 ] || sources=("$work/ten.ico" "$work/favicon.ico" "$work/big32.ico")
n=0
while [ $n -lt 180 ]; do
  for f in "${sources[@]}"; do
    n=$((n + 1))
    name=$(basename "$f")
    cp "$f" "$work/batch/$n-$name"
  done
done
batch=("$work"/batch/*)
echo "batch: ${#batch[@]} files, $(du -sk "$work/batch" | cut -f1) KB"

# run ROUNDS FILE...: every program on the same files, paired.
run() {
  local rounds=$1
  shift
  local args=("$rounds" "pngsmith" "$build/bin/pngsmith" -o "$work/out-static" "$@")
  if [ -x "$build/bench/pngsmith_shared_gd" ]; then
    args+=(-- "pngsmith (shared libgd)" "$build/bench/pngsmith_shared_gd" -o "$work/out-shared" "$@")
  fi
  args+=(-- "icotool -x" icotool -x -o "$work/out-icotool" "$@")
  "$build/bench/cpu_pairs" "${args[@]}"
}
echo "=== favicon ($(stat -c %s "$work/favicon.ico") bytes)"
run 41 "$work/favicon.ico"
echo "=== the favicon's largest image (48x48, its third) to standard output"
"$build/bench/cpu_pairs" 41 "pngsmith --largest -o -" "$build/bin/pngsmith" --largest -o - "$work/favicon.ico" \
  -- "icotool -x -i 3 -o -" icotool -x -i 3 -o - "$work/favicon.ico"
echo "=== batch of ${#batch[@]} files in one call"
run 11 "${batch[@]}"
echo "=== peak memory of pngsmith on the batch"
/usr/bin/time -f "%M KB" "$build/bin/pngsmith" -o "$work/out-static" "${batch[@]}" 2>&1 >/dev/null | tail -n 1
