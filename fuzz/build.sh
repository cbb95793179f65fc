#!/bin/sh
# Builds the libFuzzer binaries (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# into a folder, by default build-fuzz/ at the top of the source tree:
#   fuzz/build.sh [BUILD_FOLDER]
# The binaries are BUILD_FOLDER/fuzz/fuzz_<name>; fuzz/README.md says how to run them.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$here/build-fuzz"}
CXX=${CXX:-clang++}
cmake -S "$here" -B "$out" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER="$CXX" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DTERSIFY_SANITIZE=ON -DTERSIFY_LIBFUZZER=ON \
  -DTERSIFY_GUI=OFF -DTERSIFY_BUILD_TESTS=OFF
targets=$(cd "$here/fuzz" && ls ./*_fuzz.cpp | sed 's|^\./\(.*\)_fuzz\.cpp$|fuzz_\1|')
# shellcheck disable=SC2086
cmake --build "$out" -j "${JOBS:-2}" --target $targets
echo "built into $out/fuzz:"
for t in $targets; do echo "  $t"; done
