#!/usr/bin/env bash
# Fails when a C++ source of the tree differs from what clang-format makes of
# it. With --fix, formats those files in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src tests fuzz bench tools -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}" 2>/tmp/tersify-format.$$; then
  grep -E '^[^ ].*: (error|warning):' /tmp/tersify-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
  rm -f /tmp/tersify-format.$$
  echo "Run tools/check_format.sh --fix" >&2
  exit 1
fi
rm -f /tmp/tersify-format.$$
