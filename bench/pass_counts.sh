#!/bin/sh
# Instruction counts of tersify-cli per pass (callgrind, inclusive), one
# column per page, and the last page's count over the one before it: a pass
# whose work grows faster than the page shows a ratio above the pages' size
# ratio. Pages are usually those of `engine_bench --write DIR --only`.
# Usage: bench/pass_counts.sh CLI PAGE... (default options; needs valgrind)
set -eu
CLI=$1
shift
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
PASSES='engine::(ProcessTagInto|TagCandidateFinder<char>::(Mark|MarkAround)\(|RemoveComments|TightenTagSpaces|CutPreformatted|InsertPreformatted|TrimLines|CollapseSpaces|RemoveBlankLines|RemoveEmptyLines|RemoveQuotes|CollapseNbsp|CutScripts|InsertScripts|JoinTags|RemoveAllTabs)|NormalizeLines|OptimizeDocumentInPlace|__memcpy'
n=0
for page in "$@"; do
  n=$((n + 1))
  valgrind --tool=callgrind --callgrind-out-file="$WORK/$n.out" "$CLI" "$page" > /dev/null 2> "$WORK/$n.err"
  # Whole program, then each pass (names shortened, counts in millions).
  { printf 'total\t%s\n' "$(sed -n 's/.*Collected : //p' "$WORK/$n.err")"
    callgrind_annotate --inclusive=yes "$WORK/$n.out" 2> /dev/null | grep -E "$PASSES" |
      awk '{c = $1; gsub(",", "", c); f = $0; sub(/^ *[0-9,]+ +(\([ 0-9.%]+\) +)?/, "", f)
        sub(/ \[.*$/, "", f); sub(/\(.*/, "", f); k = split(f, w, /[ :]+/); print w[k] "\t" c}'
  } | sort -t "$(printf '\t')" -k1,1 > "$WORK/$n.tsv"
done
printf 'pass'
for page in "$@"; do printf '\t%s' "$(basename "$page")"; done
printf '\tlast/previous\n'
cp "$WORK/1.tsv" "$WORK/all.tsv"
i=2
while [ "$i" -le "$n" ]; do
  join -t "$(printf '\t')" "$WORK/all.tsv" "$WORK/$i.tsv" > "$WORK/next.tsv"
  mv "$WORK/next.tsv" "$WORK/all.tsv"
  i=$((i + 1))
done
awk -F '\t' '{ line = $1; for (k = 2; k <= NF; ++k) line = line sprintf("\t%.1f M", $k / 1e6)
  if (NF > 2 && $(NF - 1) > 0) line = line sprintf("\t%.2f", $NF / $(NF - 1)); print line }' "$WORK/all.tsv"
