#!/usr/bin/env bash
# End-to-end timing of pngsmith against ImageMagick's convert on a ten-image
# icon and a 256 x 256 32-bit icon: medians of 11 runs. Then the share of
# pngsmith's work spent inside libgd's PNG encoder, counted in instructions
# by callgrind. ImageMagick and valgrind are installed here (as root) for
# the benchmark only.
# Usage: bench/pngsmith_bench.sh [build folder]   (after ./test.sh has built it)
set -euo pipefail
build=${1:-build}
for package in imagemagick valgrind; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    if [ "$(id -u)" = 0 ]; then
      DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$package" >/dev/null
    else
      echo "This benchmark needs $package: sudo apt-get install $package" >&2
      exit 1
    fi
  fi
done
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/make_icon_bench" "$work"

. "$(dirname "$0")/timing.sh"

for f in ten big32; do
  mkdir -p "$work/$f-im"
  ours=$(median_ms "$build/bin/pngsmith" "$work/$f.ico")
  theirs=$(median_ms "$convert" "$work/$f.ico" "$work/$f-im/out-%d.png")
  share=$(cd "$work" && valgrind --tool=callgrind --callgrind-out-file=cg.out "$OLDPWD/$build/bin/pngsmith" "$f.ico" >/dev/null 2>&1 &&
          callgrind_annotate --inclusive=yes cg.out 2>/dev/null |
          awk '/PROGRAM TOTALS/ {gsub(",", "", $1); total = $1}
               /gdImagePng / && !done {gsub(",", "", $1); printf "%.0f%%", 100 * $1 / total; done = 1}')
  printf '%-6s pngsmith %6s ms   convert %6s ms   inside gdImagePng: %s of instructions\n' "$f" "$ours" "$theirs" "$share"
done
