#!/bin/sh
# The engine's throughput against Debian's minify on the same files, in one
# run: engine_bench over the corpus (one thread and two), its largest page and
# the synthetic pages; minify on the same single files and over the corpus on
# one core (GOMAXPROCS=1) and on two; the peak memory of tersify-cli on the
# 64 MB page; then the ratios. Then whole processes on large pages: every
# corpus page of 1 MB or more and the 8 and 64 MB synthetic pages, one
# tersify-cli (default options and --mode max, output to /dev/null) against
# one `minify --type html` per page under hyperfine, with the ratio for each
# page, the 64 MB page's time over the 8 MB page's and its peak memory.
# Needs hyperfine and minify (Debian: apt-get install hyperfine minify).
# Build engine_bench and tersify-cli first (see RESULTS.md).
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
  hyperfine -N --warmup 1 --runs 5 --export-json "$WORK/minify-$f.json" \
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
# A page built against the memory bound: a comment, then 16 MiB of "<" inside
# one quoted value (comment removal makes room for every "<" of a page).
python3 -c "import sys; sys.stdout.write('<!-- c --><p title=\"' + '<' * (16 << 20) + '\">x</p>\n')" \
  > "$WORK/quoted-lt.html"
/usr/bin/time -v "$BUILD/tersify-cli" "$WORK/quoted-lt.html" > /dev/null 2> "$WORK/cli-quoted.txt"

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

# Large pages, whole processes: what a user waits for on one big file. Pages
# of 1 MiB or more; both programs write to /dev/null (hyperfine sends
# standard output there), and both are started without a shell (-N), whose
# start-up is part of neither.
find "$CORPUS" -type f \( -iname '*.htm' -o -iname '*.html' \) -size +1048575c | sort > "$WORK/large.txt"
printf '%s\n' "$WORK/files/synthetic-8mb.html" "$WORK/files/synthetic-64mb.html" >> "$WORK/large.txt"
# Ten runs each: on a virtual machine single runs of these pages vary by 10 %.
RUNS=10
i=0
while IFS= read -r page; do
  i=$((i + 1))
  hyperfine -N --warmup 1 --runs $RUNS --export-json "$WORK/large-$i.json" \
    -n "tersify-cli" "'$BUILD/tersify-cli' '$page'" \
    -n "tersify-cli --mode max" "'$BUILD/tersify-cli' --mode max '$page'" \
    -n "minify" "minify --type html -o /dev/null '$page'" > /dev/null
done < "$WORK/large.txt"

python3 - "$WORK" "$CORPUS" "$RUNS" <<'EOF'
import json, os, re, sys
work, corpus, nruns = sys.argv[1], sys.argv[2], sys.argv[3]
MB = 1 << 20
pages = open(os.path.join(work, 'large.txt')).read().splitlines()
print(f'\nLarge pages, one process per page (hyperfine, mean of {nruns} runs, process start-up included):\n')
print('| page | MB | tersify-cli | --mode max | minify | default / minify | 3x? | max / minify | 3x? |')
print('|---|---:|---:|---:|---:|---:|:---:|---:|:---:|')
times = {}
for i, page in enumerate(pages, 1):
    runs = {r['command']: r['mean'] for r in json.load(open(os.path.join(work, f'large-{i}.json')))['results']}
    d, x, m = runs['tersify-cli'], runs['tersify-cli --mode max'], runs['minify']
    times[os.path.basename(page)] = (d, x)
    name = os.path.relpath(page, corpus) if not page.startswith(work) else os.path.basename(page)
    mb = os.path.getsize(page) / MB
    print(f'| {name} | {mb:.2f} | {mb / d:.1f} MB/s | {mb / x:.1f} MB/s | {mb / m:.1f} MB/s | {m / d:.2f}x | '
          f'{"yes" if m / d >= 3 else "no"} | {m / x:.2f}x | {"yes" if m / x >= 3 else "no"} |')
(d8, x8), (d64, x64) = times['synthetic-8mb.html'], times['synthetic-64mb.html']
met = lambda ok: 'met' if ok else 'not met'
print(f'\n64 MB page over 8 MB page (goal: within 9x): {d64 / d8:.2f}x with default options ({met(d64 / d8 <= 9)}), '
      f'{x64 / x8:.2f}x with --mode max ({met(x64 / x8 <= 9)})')
def peak(what, times, page):
    rss = int(re.search(r'Maximum resident set size \(kbytes\): (\d+)',
                        open(os.path.join(work, times)).read()).group(1))
    size = os.path.getsize(os.path.join(work, page))
    print(f'Peak memory of tersify-cli on {what} (goal: at most 3x): {rss} kB = {rss * 1024 / size:.2f}x '
          f'({met(rss * 1024 <= 3 * size)})')
peak('the 64 MB page', 'cli-64mb.txt', 'files/synthetic-64mb.html')
peak('a 16 MB page of "<" inside a quoted value', 'cli-quoted.txt', 'quoted-lt.html')
EOF
