#!/usr/bin/env bash
# Fails when a text of a window does not fit its place: every window of the
# desktop program is opened in English and German at its smallest size on the
# offscreen platform and measured with the widgets' own size hints.
# Usage: tools/check_layout.sh [BUILD_FOLDER]   (default build-test)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-test}
checker=$build/tests/tersify_layout_check
[ -x "$checker" ] || { echo "not built: $checker" >&2; exit 1; }
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0} QT_QPA_PLATFORM=offscreen "$checker" "$here"
