#!/usr/bin/env bash
# Installs what is missing, builds and starts the desktop program. Extra
# arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")"

tools/deps.sh build-essential cmake ninja-build libgtest-dev libssl-dev qt6-base-dev

build=build
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERSIFY_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)"

if [ -x "$build/tersify" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/tersify" "$@"
fi
if [ -x "$build/tersify" ]; then
  echo "No display found: the desktop program needs one. Optimizing the examples with $build/tersify-cli instead." >&2
fi
if [ $# -gt 0 ]; then
  exec "$build/tersify-cli" "$@"
fi
for f in examples/*.html; do
  echo "== $f"
  "$build/tersify-cli" "$f"
done
