#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
rm -rf build
bash scripts/build.sh build
cd build && ctest --output-on-failure -j2 --timeout 300
