#!/usr/bin/env bash
# Sets up, builds and starts Unitscope. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
ninja -C build -j "${JOBS:-4}" unitscope
exec build/src/app/unitscope "$@"
