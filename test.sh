#!/usr/bin/env bash
# Installs what is missing, builds with the sanitizers on and runs every test.
set -euo pipefail
cd "$(dirname "$0")"

# cpack -G DEB in the install test needs file and dpkg-shlibdeps (dpkg-dev).
tools/deps.sh build-essential cmake ninja-build libgtest-dev libssl-dev qt6-base-dev xauth xvfb file dpkg-dev

# The folders of src/ must not include each other in a circle.
python3 tools/check_includes.py

build=build-test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSIFY_SANITIZE=ON >/dev/null
cmake --build "$build" -j "$(nproc)"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
