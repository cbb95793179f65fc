#!/bin/sh
# One batch run of tersify-cli over a corpus against Debian's minify over the
# same corpus, side by side under hyperfine. Build tersify-cli first with
#   cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTERSIFY_GUI=OFF -DTERSIFY_BUILD_TESTS=OFF
#   ninja -C build-release tersify-cli
# Usage: bench/cli_vs_minify.sh [CLI] [CORPUS]
set -eu
CLI=${1:-build-release/tersify-cli}
CORPUS=${2:-/tmp/corpus}
OUT=${TMPDIR:-/tmp}/tersify-bench-out
OUT2=${TMPDIR:-/tmp}/minify-bench-out
hyperfine --warmup 1 --runs 5 --export-markdown cli-vs-minify.md \
  --prepare "rm -rf $OUT $OUT2" \
  "$CLI -q -r --overwrite all -o $OUT $CORPUS" \
  "$CLI -q -j 1 -r --overwrite all -o $OUT $CORPUS" \
  "minify -r -o $OUT2/ $CORPUS"
# Sizes and the identity of -j 1 and parallel runs.
rm -rf "$OUT" "$OUT.j1" "$OUT2"
"$CLI" --json -r --overwrite all -o "$OUT" "$CORPUS" > parallel.json
"$CLI" --json -j 1 -r --overwrite all -o "$OUT.j1" "$CORPUS" > serial.json
diff -r "$OUT" "$OUT.j1" && echo "outputs of -j 1 and -j N identical"
minify -r -o "$OUT2/" "$CORPUS" > /dev/null
echo "corpus:  $(find "$CORPUS" -type f -printf '%s\n' | awk '{s+=$1} END {print s}') bytes"
echo "tersify: $(grep bytes_after parallel.json)"
echo "minify:  $(find "$OUT2" -type f -printf '%s\n' | awk '{s+=$1} END {print s}') bytes"
