#!/usr/bin/env bash
# Load run: a folder tree of 20 000 small pages and 20 pages of 50 MB,
# optimized once by the command-line batch mode (or, where that build has
# none, by tests/load/load_driver.cpp over the run core) and once by the
# desktop program (tests/ui/load_test.cpp, offscreen). Records wall time and
# peak memory of each and checks that the peak stays below five times the
# largest page plus 100 MB.
#
#   tests/load/run_load.sh [BUILD_DIR] [WORK_DIR]
#
# BUILD_DIR: a Release build with the desktop program (default: build-rel).
# WORK_DIR: where the tree and the outputs go (default: /tmp/tersify-load;
# about 2.5 GB). TERSIFY_CORPUS names the pages (default: /tmp/corpus).
# LOAD_SMALL, LOAD_BIG, LOAD_BIG_MB change the tree's shape.
set -euo pipefail

SRC=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(cd "${1:-$SRC/build-rel}" && pwd)
WORK=${2:-/tmp/tersify-load}
CORPUS=${TERSIFY_CORPUS:-/tmp/corpus}
SMALL=${LOAD_SMALL:-20000}
BIG=${LOAD_BIG:-20}
BIG_MB=${LOAD_BIG_MB:-50}
FIGURES=$WORK/figures.txt

mkdir -p "$WORK"
: >"$FIGURES"
say() { echo "$*" | tee -a "$FIGURES"; }

# The tree, built once and reused while its shape stays the same.
SHAPE="$SMALL $BIG $BIG_MB"
if [[ ! -f $WORK/tree.shape || $(cat "$WORK/tree.shape") != "$SHAPE" ]]; then
  rm -rf "$WORK/tree"
  python3 "$SRC/tests/load/make_tree.py" "$CORPUS" "$WORK/tree" "$SMALL" "$BIG" "$BIG_MB" >"$WORK/tree.info"
  echo "$SHAPE" >"$WORK/tree.shape"
fi
read -r FILES LARGEST <"$WORK/tree.info"
LIMIT_KB=$(((5 * LARGEST + 100 * 1024 * 1024) / 1024))
say "tree: $FILES pages, $(du -sm "$WORK/tree" | cut -f1) MB, largest $LARGEST bytes; peak limit $LIMIT_KB kB"
(cd "$WORK/tree" && find . -type f -print0 | sort -z | xargs -0 md5sum) >"$WORK/tree.md5"

# Wall time and peak memory from /usr/bin/time -v.
figures() {
  local log=$1 name=$2
  local wall peak
  wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$log")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
  say "$name: wall $wall, peak ${peak} kB (limit $LIMIT_KB kB)"
  if ((peak >= LIMIT_KB)); then
    say "$name: PEAK MEMORY OVER THE LIMIT"
    STATUS=1
  fi
}

# The outputs: one per page, none empty, no temporary; the tree unchanged.
check_output() {
  local out=$1 name=$2
  local count empty temps
  count=$(find "$out" -maxdepth 1 -type f -name '*.html' | wc -l)
  empty=$(find "$out" -maxdepth 1 -type f -name '*.html' -empty | wc -l)
  temps=$(find "$out" -maxdepth 1 -type f -name '.tfy*.tmp' | wc -l)
  say "$name: $count outputs, $empty empty, $temps temporaries, $(du -sm "$out" | cut -f1) MB"
  if ((count != FILES || empty != 0 || temps != 0)); then
    say "$name: OUTPUT INCOMPLETE"
    STATUS=1
  fi
  if ! (cd "$WORK/tree" && md5sum --quiet -c "$WORK/tree.md5"); then
    say "$name: SOURCES CHANGED"
    STATUS=1
  fi
}

STATUS=0

# 1. The batch run without windows.
OUT=$WORK/out-batch
rm -rf "$OUT"
mkdir -p "$OUT"
if "$BUILD/tersify-cli" --help 2>&1 | grep -q -- '--in-place'; then
  BATCH=("$BUILD/tersify-cli" -r -o "$OUT" "$WORK/tree")
  say "batch: tersify-cli -r -o"
else
  DRIVER=$WORK/load_driver
  g++ -std=c++20 -O2 -DNDEBUG -I"$SRC/src" -DTERSIFY_SOURCE_DIR="\"$SRC\"" "$SRC/tests/load/load_driver.cpp" \
    "$BUILD/libtersify_desktop.a" "$BUILD/libtersify_core.a" -o "$DRIVER"
  BATCH=("$DRIVER" copies "$OUT" "$WORK/tree")
  say "batch: tests/load/load_driver (run core)"
fi
/usr/bin/time -v "${BATCH[@]}" >"$WORK/batch.out" 2>"$WORK/batch.time" || {
  say "batch: FAILED ($(tail -3 "$WORK/batch.time" | tr '\n' ' '))"
  STATUS=1
}
grep -v '^\s' "$WORK/batch.out" | tail -3 | while read -r line; do say "batch: $line"; done
figures "$WORK/batch.time" batch
check_output "$OUT" batch
rm -rf "$OUT"

# 2. The desktop program, offscreen.
OUT=$WORK/out-desktop
rm -rf "$OUT"
mkdir -p "$OUT"
if [[ -x $BUILD/tests/load_test ]]; then
  # Qt Test ends a test function after 5 minutes unless told otherwise.
  QTEST_FUNCTION_TIMEOUT=36000000 TERSIFY_LOAD_TEST=1 TERSIFY_LOAD_TREE=$WORK/tree TERSIFY_LOAD_FILES=$FILES TERSIFY_LOAD_OUT=$OUT \
    QT_QPA_PLATFORM=offscreen /usr/bin/time -v "$BUILD/tests/load_test" >"$WORK/desktop.out" 2>"$WORK/desktop.time" || {
    say "desktop: FAILED"
    grep -E 'FAIL|Loc:' "$WORK/desktop.out" | head -5 | while read -r line; do say "desktop: $line"; done
    STATUS=1
  }
  grep '^LOAD' "$WORK/desktop.out" | while read -r line; do say "desktop: $line"; done
  figures "$WORK/desktop.time" desktop
  check_output "$OUT" desktop
  rm -rf "$OUT"
else
  say "desktop: $BUILD/tests/load_test not built (a build with the desktop program is needed)"
  STATUS=1
fi

say "load: $([[ $STATUS == 0 ]] && echo passed || echo FAILED)"
exit $STATUS
