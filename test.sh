#!/usr/bin/env bash
# Installs what the build needs, builds everything into build/ and runs the
# whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
. ./setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
