#!/usr/bin/env bash
# End-to-end timing of zelm.exe on the worst legal mesh, a many-mesh file,
# and the hostile inputs (collide, nested) beside a random mesh of their
# size (random), each beside the floor (reading the input, writing a file of the output's
# size), as medians of 11 runs; and peak memory from /usr/bin/time -v.
# Usage: bench/zelm_bench.sh [build folder]   (after ./test.sh has built it)
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_mesh_bench" "$work"

. "$(dirname "$0")/timing.sh"

for f in worst many random collide nested; do
  in="$work/$f.3ds"; out="$work/$f.c7e"
  "$build/bin/zelm.exe" "$in" "$out" >/dev/null
  size=$(stat -c %s "$out")
  zelm=$(median_ms "$build/bin/zelm.exe" "$in" "$out")
  floor=$(median_ms sh -c "cat '$in' >/dev/null && head -c $size /dev/zero >'$work/floor'")
  rss=$(/usr/bin/time -v "$build/bin/zelm.exe" "$in" "$out" 2>&1 >/dev/null | awk -F': ' '/Maximum resident/ {print $2}')
  printf '%-6s input %9d B  output %9d B  zelm.exe %7s ms  floor %6s ms  peak RSS %6s KB\n' \
    "$f" "$(stat -c %s "$in")" "$size" "$zelm" "$floor" "$rss"
done
