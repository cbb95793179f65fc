#!/bin/sh
# What tersify-cli costs per page outside the passes: instructions of the whole
# process (callgrind) in the filter form with default options and with
# --mode max, the part of them outside OptimizeDocumentInPlace, and the system
# calls (strace -c -f) of the filter form, of -o DIR, of --in-place with a
# backup and of --in-place --no-backup. Needs valgrind and strace; build
# tersify-cli in Release with -g (see CLI_RESULTS.md).
# Usage: bench/cli_cost.sh CLI PAGE...
set -eu
CLI=$1
shift
WORK=${TMPDIR:-/tmp}/tersify-cli-cost
rm -rf "$WORK"
mkdir -p "$WORK"

instructions() {
  valgrind --tool=callgrind --callgrind-out-file="$WORK/cg" "$@" > /dev/null 2> "$WORK/cg.log"
  total=$(sed -n 's/.*refs: *//p' "$WORK/cg.log" | tr -d ,)
  engine=$(callgrind_annotate --inclusive=yes "$WORK/cg" 2> /dev/null |
    awk '/Engine::OptimizeDocumentInPlace/ {gsub(",", "", $1); print $1; exit}')
  echo "$total ${engine:-0}"
}
calls() {
  strace -f -c -o "$WORK/strace" "$@" > /dev/null 2>&1
  awk '$NF == "total" {print $4}' "$WORK/strace"
}

echo "| page | instructions (M), default | outside the passes | --mode max | system calls: filter | -o DIR | --in-place | --in-place --no-backup |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for page; do
  set -- $(instructions "$CLI" "$page")
  whole=$1 engine=$2
  set -- $(instructions "$CLI" --mode max "$page")
  max=$1
  filter=$(calls "$CLI" "$page")
  rm -rf "$WORK/out" && mkdir "$WORK/out"
  copies=$(calls "$CLI" -o "$WORK/out" "$page")
  rm -rf "$WORK/in" && mkdir -p "$WORK/in/backup" && cp "$page" "$WORK/in/page.html"
  backup=$(calls "$CLI" --in-place --backup "$WORK/in/backup" "$WORK/in/page.html")
  rm -rf "$WORK/in" && mkdir -p "$WORK/in" && cp "$page" "$WORK/in/page.html"
  plain=$(calls "$CLI" --in-place --no-backup --overwrite all "$WORK/in/page.html")
  awk -v p="$(basename "$page")" -v w="$whole" -v e="$engine" -v x="$max" -v f="$filter" -v o="$copies" \
    -v b="$backup" -v n="$plain" \
    'BEGIN {printf "| %s | %.1f | %.1f | %.1f | %s | %s | %s | %s |\n", p, w / 1e6, (w - e) / 1e6, x / 1e6, f, o, b, n}'
done
