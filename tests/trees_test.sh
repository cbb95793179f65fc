#!/usr/bin/env bash
# tersify-cli over a generated site of some 2000 pages in nested folders, with
# many pages of the same name: copies keep the tree; in-place runs with
# backups, twice, then --restore give back every original; so do runs killed
# at random moments.
# Usage: tests/trees_test.sh PATH_TO_TERSIFY_CLI
set -euo pipefail
cli=$(cd "$(dirname "${1:?path to tersify-cli}")" && pwd)/$(basename "$1")
# In memory where possible: every page costs a flush of the run record to the
# disk, which a shared machine makes slow, and this script is about bytes.
tmp=$(mktemp -d -p "$( [ -d /dev/shm ] && [ -w /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export ASAN_OPTIONS=detect_leaks=0
cd "$tmp"

# 20 sections of 10 topics, each topic an index.html and nine pages; an
# index.html on top of each section and of the site.
page() {
  printf '<html>\n  <head>  <title>%s</title>  </head>\n<!-- generated -->\n  <body>\n' "$1"
  printf '    <p   class="text"  >Page %s, some   words.</p>\n  </body>\n</html>\n' "$1"
}
for s in $(seq -w 0 19); do
  for t in $(seq 0 9); do
    mkdir -p "orig/s$s/t$t"
    page "s$s t$t index" >"orig/s$s/t$t/index.html"
    for p in $(seq 1 9); do page "s$s t$t page $p" >"orig/s$s/t$t/page$p.html"; done
  done
  page "s$s" >"orig/s$s/index.html"
done
page "site" >orig/index.html
# Dated in the past, so an optimized page is newer than its backup.
find orig -type f -exec touch -d 2020-01-01 {} +
pages=$(find orig -type f | wc -l)
[ "$pages" -ge 2000 ] || fail "only $pages pages generated"
echo "site: $pages pages, $(find orig -name index.html | wc -l) of them index.html"

shape() { (cd "$1" && find . ! -name .tersify-record ! -name . | sort); }
fresh() { rm -rf site bak; cp -a orig site; }
same_as_orig() { diff -r -x '.tfy*.tmp' orig site >/dev/null || fail "$1: the pages differ from the originals"; }

# Copies keep the tree: every page, same shapes, the filter form's bytes.
fresh
start=$(date +%s.%N)
"$cli" -q -r -o out site || fail "-r -o failed"
echo "-r -o: $(awk "BEGIN { printf \"%.1f\", $(date +%s.%N) - $start }") s"
diff <(shape site) <(shape out) || fail "the tree of the copies differs from the site's"
for f in index.html s07/index.html s13/t4/index.html s19/t9/page9.html; do
  cmp -s out/$f <("$cli" site/$f) || fail "out/$f is not the optimized page"
done
[ -s out/.tersify-record ] || fail "no record in the output folder"
# A restore deletes the copies it wrote, and no page it did not write.
page "mine" >out/s03/mine.html
cp out/s03/index.html out/s03/t0/index.html # a copy it wrote, but for another page
"$cli" -q --restore -r -o out site 2>restore.err && fail "a changed copy was not reported"
grep -q "out/s03/t0/index.html" restore.err || fail "the changed copy is not named: $(cat restore.err)"
[ "$(cd out && find . -type f ! -name .tersify-record | sort)" = "$(printf './s03/mine.html\n./s03/t0/index.html')" ] ||
  fail "restore deleted a page it never wrote or kept a copy it wrote"

# In place, twice (the second time replacing older backups), then restore.
fresh
start=$(date +%s%N)
"$cli" -q -r --in-place --backup bak --overwrite all site || fail "the first in-place run failed"
full=$(( ($(date +%s%N) - start) / 1000000 ))
echo "a whole in-place run: $full ms"
diff <(shape orig) <(shape bak) || fail "the tree of the backups differs from the site's"
diff -r -x .tersify-record orig bak >/dev/null || fail "a backup is not its page's original"
[ "$(diff -r orig site | grep -c '^diff')" -eq "$pages" ] || fail "not every page was optimized"
"$cli" -q -r --in-place --backup bak --overwrite older site || true
diff -r -x .tersify-record orig bak >/dev/null || fail "the second run replaced an original in the backups"
"$cli" -q --restore -r --in-place --backup bak site || fail "restore failed"
same_as_orig "in place twice, then restore"

# Killed at random moments, on the restored site: restoring still gives back
# every original.
partway=0
RANDOM=16
for round in $(seq 1 10); do
  lines_before=$(wc -l <bak/.tersify-record)
  "$cli" -q -r --in-place --backup bak --overwrite all site 2>/dev/null &
  pid=$!
  sleep "$(awk "BEGIN { printf \"%.3f\", $(( RANDOM % (full + 1) )) / 1000 }")"
  kill -KILL "$pid" 2>/dev/null || true
  status=0
  wait "$pid" 2>/dev/null || status=$?
  written=$(( $(wc -l <bak/.tersify-record) - lines_before ))
  if [ "$status" -eq 137 ] && [ "$written" -gt 0 ] && [ "$written" -lt "$pages" ]; then partway=$((partway + 1)); fi
  echo "kill $round: status $status, $written pages recorded"
done
"$cli" -q --restore -r --in-place --backup bak site || fail "restore after the kills failed"
same_as_orig "after 10 kills"
left=$(find site bak -name '.tfy*.tmp' | wc -l)
[ "$left" -eq 0 ] || fail "$left temporaries of the killed runs are left after the restore"
echo "kills that landed part-way: $partway of 10"
echo "all passed"
