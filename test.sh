#!/usr/bin/env bash
# Installs what is missing, checks the tree's shape and formatting, builds with
# the sanitizers on and runs every test: once without the desktop program
# (the core, the command line and their tests alone, which proves the core
# needs no Qt), then with it.
set -euo pipefail
cd "$(dirname "$0")"

# cpack -G DEB in the install test needs file and dpkg-shlibdeps (dpkg-dev).
tools/deps.sh build-essential cmake ninja-build ccache clang-format libgtest-dev libssl-dev qt6-base-dev \
  xauth xvfb file dpkg-dev

# The folders of src/ must not include each other in a circle, and the sources
# are formatted.
python3 tools/check_includes.py
tools/check_format.sh

# Both builds share one compiler cache, so the second compiles next to nothing.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
flags=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DTERSIFY_SANITIZE=ON -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1

core=build-test-core
cmake -S . -B "$core" "${flags[@]}" -DTERSIFY_GUI=OFF >/dev/null
cmake --build "$core" -j "$(nproc)"
ctest --test-dir "$core" --output-on-failure -j "$(nproc)" -L core "$@"

build=build-test
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
