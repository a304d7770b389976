#!/usr/bin/env bash
# Paired CPU times of zelm.exe on the benchmark meshes, beside the floor
# (reading the input and writing a file of the output's size) and, when a
# second zelm.exe is named, beside it (a build of an earlier commit):
#   worst    the largest legal mesh (65535 vertices and faces)
#   many     200 meshes of 1000 vertices
#   random   65535 random positions
#   collide  65535 positions that collide in a fixed (unkeyed) hash
# Usage: bench/zelm_pairs.sh [build folder] [reference zelm.exe] [rounds]
set -euo pipefail
build=${1:-build}
reference=${2:-}
rounds=${3:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_mesh_bench" "$work"
for f in worst many random collide; do
  in="$work/$f.3ds"
  "$build/bin/zelm.exe" "$in" "$work/$f.c7e" >/dev/null
  size=$(stat -c %s "$work/$f.c7e")
  echo "== $f ($(stat -c %s "$in") bytes in, $size out)"
  commands=(zelm "$build/bin/zelm.exe" "$in" "$work/new.c7e"
            -- floor sh -c "cat '$in' >/dev/null && head -c $size /dev/zero >'$work/floor'")
  if [ -n "$reference" ]; then
    commands+=(-- reference "$reference" "$in" "$work/ref.c7e")
  fi
  "$build/bench/cpu_pairs" "$rounds" "${commands[@]}"
  if [ -n "$reference" ] && ! cmp -s "$work/new.c7e" "$work/ref.c7e"; then
    echo "the two builds wrote different models for $f" >&2
    exit 1
  fi
done
