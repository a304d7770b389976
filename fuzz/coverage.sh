#!/usr/bin/env bash
# Measures how much of the code each fuzzing harness reaches in a campaign:
# fuzz/coverage.sh SECONDS [NAME...] (names as fuzz/run.sh takes them; all
# by default). Builds the harnesses with clang's source-based coverage into
# build-fuzz-cov/, runs each for SECONDS from the seeds that fuzz/run.sh
# uses, and prints the line coverage of the sources that harness drives,
# file by file, from llvm-cov (package llvm, or clang's llvm-N). The
# harnesses that read containers (icon, which reads every kind, and ani,
# pe, ne) share the code that tells the kinds apart and picks members
# (containers.cpp): its lines are counted over those of them that ran,
# together. Nothing is written into the working
# tree but that build folder.
set -euo pipefail
seconds=$1
shift
names=${*:-mesh dump icon gd2 ani pe ne}
shared=$(mktemp -d)  # the profiles of the harnesses that read containers
trap 'rm -rf "$shared"' EXIT
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
build="$top/build-fuzz-cov"
for tool in llvm-profdata llvm-cov; do
  command -v $tool >/dev/null || { echo "coverage.sh: $tool is missing (sudo apt-get install llvm)" >&2; exit 1; }
done
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_FUZZERS=ON \
  -DFUZZ_COVERAGE=ON -DBUILD_TESTING=OFF >/dev/null
for name in $names; do
  cmake --build "$build" -j "$(nproc)" --target "${name}_fuzz" >/dev/null
done
for name in $names; do
  case $name in
    mesh) sources="meshconv/chunk.cpp meshconv/model.cpp meshconv/writer.cpp meshconv/optimize.cpp meshconv/normals.cpp" ;;
    dump) sources="modeldump/dump.cpp" ;;
    gd2) sources="gd2conv/reader.cpp" ;;
    icon) sources="iconconv/reader.cpp iconconv/old_formats.cpp iconconv/decode.cpp iconconv/png_out.cpp" ;;
    ani) sources="iconconv/ani.cpp" ;;
    pe) sources="iconconv/pe.cpp iconconv/groups.cpp" ;;
    ne) sources="iconconv/ne.cpp iconconv/groups.cpp" ;;
  esac
  scratch=$(mktemp -d)
  case $name in
    mesh) cp "$top"/samples/*.3ds "$scratch"/ ;;
    dump) cp "$top"/tests/expected/*.c7e "$scratch"/ ;;
    icon) cp "$top"/samples/*.ico "$scratch"/ ;;
  esac
  profiles=$(mktemp -d)
  echo "=== ${name}_fuzz for ${seconds}s"
  LLVM_PROFILE_FILE="$profiles/%p.profraw" "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=1 \
    -rss_limit_mb=2048 -max_len=65536 -dict="$here/$name.dict" -print_final_stats=1 \
    -artifact_prefix="$scratch/" "$scratch" "$here/corpus/$name" 2>&1 | grep -E '^stat::|^Done' || true
  llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
  (cd "$top" && llvm-cov report "$build/fuzz/${name}_fuzz" -instr-profile="$profiles/merged.profdata" $sources) |
    awk 'NF >= 10 && $1 != "Filename" { print $1, "lines", $8, "missed", $9, "cover", $10 }'
  case $name in
    icon | ani | pe | ne) cp "$profiles/merged.profdata" "$shared/$name.profdata" ;;
  esac
  rm -rf "$scratch" "$profiles"
done
if ls "$shared"/*.profdata >/dev/null 2>&1; then
  echo "=== the harnesses that read containers, together:$(cd "$shared" && ls | sed 's/\.profdata//' | tr '\n' ' ')"
  llvm-profdata merge -sparse "$shared"/*.profdata -o "$shared/all.profdata"
  objects=""
  for f in "$shared"/*.profdata; do
    n=$(basename "$f" .profdata)
    # The first binary goes first, the others after -object.
    [ "$n" = all ] || objects="$objects${objects:+ -object} $build/fuzz/${n}_fuzz"
  done
  # shellcheck disable=SC2086
  (cd "$top" && llvm-cov report $objects -instr-profile="$shared/all.profdata" iconconv/containers.cpp) |
    awk 'NF >= 10 && $1 != "Filename" && $1 != "TOTAL" { print $1, "lines", $8, "missed", $9, "cover", $10 }'
fi
