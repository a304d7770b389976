#!/usr/bin/env bash
# Runs fuzzing harnesses: fuzz/run.sh BUILD_DIR SECONDS [NAME...]
# (names: mesh dump icon; all by default). New inputs go into a scratch
# folder, the committed seeds in fuzz/corpus/NAME are read only; a crash,
# leak, sanitizer report or an input slower than a second fails the run and
# leaves the input in the working directory as crash-*, leak-* or timeout-*.
set -euo pipefail
build=$1
seconds=$2
shift 2
names=${*:-mesh dump icon}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for name in $names; do
  scratch=$(mktemp -d)
  echo "=== ${name}_fuzz for ${seconds}s"
  if ! "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
       -max_len=65536 -dict="$here/$name.dict" -print_final_stats=1 \
       "$scratch" "$here/corpus/$name" 2>&1 | tail -n 25; then
    status=1
  fi
  rm -rf "$scratch"
done
exit $status
