#!/usr/bin/env bash
# Runs fuzzing harnesses: fuzz/run.sh BUILD_DIR SECONDS [NAME...]
# (names: mesh dump icon gd2 ani pe ne; all by default). New inputs go into a scratch
# folder that starts with the shared seeds (the samples, and the expected
# model files of the golden tests); the crafted seeds in fuzz/corpus/NAME
# are read only. A crash, leak, sanitizer report or an input slower than a
# second fails the run and leaves the input in BUILD_DIR/fuzz/findings/ as
# NAME-crash-*, NAME-leak-*, NAME-timeout-*: never in the working tree.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
shift 2
names=${*:-mesh dump icon gd2 ani pe ne}
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
findings="$build/fuzz/findings"
mkdir -p "$findings"
status=0
for name in $names; do
  scratch=$(mktemp -d)
  case $name in
    mesh) cp "$top"/samples/*.3ds "$scratch"/ ;;
    dump) cp "$top"/tests/expected/*.c7e "$scratch"/ ;;
    icon) cp "$top"/samples/*.ico "$scratch"/ ;;
    gd2) ;;
  esac
  echo "=== ${name}_fuzz for ${seconds}s"
  if ! "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 \
       -max_len=65536 -dict="$here/$name.dict" -print_final_stats=1 \
       -artifact_prefix="$findings/$name-" \
       "$scratch" "$here/corpus/$name" 2>&1 | tail -n 25; then
    status=1
    echo "findings of ${name}_fuzz are in $findings/"
  fi
  rm -rf "$scratch"
done
exit $status
