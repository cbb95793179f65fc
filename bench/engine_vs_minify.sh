#!/bin/sh
# The engine's throughput against Debian's minify on the same files, in one
# run: engine_bench over the corpus (one thread and two), its largest page and
# the synthetic pages; minify on the same single files and over the corpus on
# one core (GOMAXPROCS=1) and on two; the peak memory of tersify-cli on the
# 64 MB page; then the ratios. Build engine_bench and tersify-cli first (see
# RESULTS.md).
# Usage: bench/engine_vs_minify.sh [BUILD_DIR] [CORPUS]
set -eu
BUILD=${1:-build-rel}
CORPUS=${2:-/tmp/corpus}
WORK=${TMPDIR:-/tmp}/engine-vs-minify
rm -rf "$WORK"
mkdir -p "$WORK/files"

"$BUILD/bench/engine_bench" "$CORPUS" --write "$WORK/files" --only
"$BUILD/bench/engine_bench" "$CORPUS" --jobs 2 | tee "$WORK/engine.txt"

for f in largest synthetic-1mb synthetic-8mb synthetic-64mb; do
  hyperfine --warmup 1 --runs 5 --export-json "$WORK/minify-$f.json" \
    -n "minify $f" "minify --type html -o /dev/null $WORK/files/$f.html"
done
# minify writes files where the engine's figures have no output at all: its
# output goes to memory (/dev/shm) where there is one, so the disk does not
# count against it, and the folder is emptied before each timed run rather
# than inside it.
OUT=$WORK/out
[ -d /dev/shm ] && OUT=/dev/shm/engine-vs-minify-out
hyperfine --warmup 1 --runs 5 --export-json "$WORK/minify-corpus.json" \
  --prepare "rm -rf $OUT" \
  -n "minify -r, 1 core" "GOMAXPROCS=1 minify -r -o $OUT/ $CORPUS" \
  -n "minify -r, 2 cores" "GOMAXPROCS=2 minify -r -o $OUT/ $CORPUS"
rm -rf "$OUT"

/usr/bin/time -v "$BUILD/tersify-cli" "$WORK/files/synthetic-64mb.html" > /dev/null 2> "$WORK/cli-64mb.txt"

bytes=$(find "$CORPUS" -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
python3 - "$WORK" "$bytes" <<'EOF'
import json, os, re, sys
work, size = sys.argv[1], int(sys.argv[2])
MB = 1 << 20
# engine_bench rows: input, options, jobs, MB, seconds, MB/s. Its MB are those
# of the loaded text, whose lines all end in CR LF; the rates below use the
# files' bytes for both programs.
rows = {}
for line in open(os.path.join(work, 'engine.txt')):
    m = re.match(r'(.+?)\s{2,}(default options|Max optimization)\s+(\d+)\s+[\d.]+\s+([\d.]+)\s+[\d.]+$', line.strip())
    if m:
        rows[(m.group(1).split(' (')[0], m.group(2), int(m.group(3)))] = float(m.group(4))
files = {'largest page': 'largest', 'synthetic 1 MB': 'synthetic-1mb', 'synthetic 8 MB': 'synthetic-8mb',
         'synthetic 64 MB': 'synthetic-64mb'}
print('\n| input | engine default | engine Max | minify | default / minify |')
print('|---|---:|---:|---:|---:|')
for name, f in files.items():
    mb = os.path.getsize(os.path.join(work, 'files', f + '.html')) / MB
    mini = json.load(open(os.path.join(work, f'minify-{f}.json')))['results'][0]['mean']
    d, x = mb / rows[(name, 'default options', 1)], mb / rows[(name, 'Max optimization', 1)]
    print(f'| {name} | {d:.1f} MB/s | {x:.1f} MB/s | {mb / mini:.1f} MB/s | {d / (mb / mini):.2f}x |')
mb = size / MB
corpus = json.load(open(os.path.join(work, 'minify-corpus.json')))['results']
for cores, r in zip((1, 2), corpus):
    mini = mb / r['mean']
    for options in ('default options', 'Max optimization'):
        e = mb / rows[('corpus', options, cores)]
        print(f'| corpus, {cores} core(s) | {options}: {e:.1f} MB/s | | {mini:.1f} MB/s '
              f'({r["mean"]:.3f} s) | {e / mini:.2f}x |')
cli = open(os.path.join(work, 'cli-64mb.txt')).read()
rss = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)', cli).group(1))
page = os.path.getsize(os.path.join(work, 'files', 'synthetic-64mb.html'))
print(f'\ntersify-cli on the 64 MB page: peak {rss} kB = {rss * 1024 / page:.2f}x the file')
EOF
