#!/usr/bin/env bash
# Builds Unitscope twice (a normal build with every warning an error, and an AddressSanitizer +
# UndefinedBehaviorSanitizer build of the tests) and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS="${JOBS:-4}"

# Works on a fresh machine as the only command: install what is missing first (a no-op after).
scripts/install-deps.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DUNITSCOPE_WERROR=ON
ninja -C build -j "$JOBS"
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 --timeout 300)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DUNITSCOPE_WERROR=ON \
    -DUNITSCOPE_SANITIZE=ON -DUNITSCOPE_BENCH=OFF
ninja -C build-asan -j "$JOBS"
# Qt's own allocations that live until exit look like leaks to LeakSanitizer.
(cd build-asan && ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j 2 --timeout 600)
