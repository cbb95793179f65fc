#!/bin/sh
# The engine's throughput over a corpus against Debian's minify over the same
# pages, in one run: engine_bench on one thread and on two, then minify -r on
# one core (GOMAXPROCS=1) and on two, and the ratios of equal resources.
# Build engine_bench first (see RESULTS.md).
# Usage: bench/engine_vs_minify.sh [ENGINE_BENCH] [CORPUS]
set -eu
BENCH=${1:-build-rel/bench/engine_bench}
CORPUS=${2:-/tmp/corpus}
WORK=${TMPDIR:-/tmp}/engine-vs-minify
rm -rf "$WORK"
mkdir -p "$WORK"

"$BENCH" "$CORPUS" --jobs 2 | tee "$WORK/engine.txt"

# minify reads and writes files, so its output folder is emptied before each
# timed run rather than inside it.
hyperfine --warmup 1 --runs 5 --export-json "$WORK/minify.json" \
  --prepare "rm -rf $WORK/out" \
  -n "minify -r, 1 core" "GOMAXPROCS=1 minify -r -o $WORK/out/ $CORPUS" \
  -n "minify -r, 2 cores" "GOMAXPROCS=2 minify -r -o $WORK/out/ $CORPUS"

bytes=$(find "$CORPUS" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
python3 - "$WORK/engine.txt" "$WORK/minify.json" "$bytes" <<'EOF'
import json, re, sys
engine, minify, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
mb = size / (1 << 20)
# engine_bench rows: input, options, jobs, MB, seconds, MB/s (its MB are those
# of the loaded text, whose lines all end in CR LF; the rates here use the
# files' bytes for both programs)
rows = {}
for line in open(engine):
    m = re.match(r'corpus \(\d+ pages\)\s+(.+?)\s+(\d+)\s+[\d.]+\s+([\d.]+)\s+[\d.]+$', line.strip())
    if m:  # the rate over the pages' file bytes, as for minify
        rows[(m.group(1), int(m.group(2)))] = mb / float(m.group(3))
results = json.load(open(minify))['results']
print(f"\ncorpus: {size} bytes ({mb:.2f} MB)")
for cores, r in zip((1, 2), results):
    rate = mb / r['mean']
    print(f"minify -r on {cores} core(s): {r['mean']:.3f} s mean, {rate:.1f} MB/s")
    for options in ("default options", "Max optimization"):
        if (options, cores) in rows:
            e = rows[(options, cores)]
            print(f"  engine, {options}, {cores} thread(s): {e:.1f} MB/s = {e / rate:.2f}x minify")
EOF
