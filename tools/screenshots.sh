#!/usr/bin/env bash
# Starts the program under a virtual X server with the example pages and saves
# a picture of every window into the folder given as argument.
# Usage: tools/screenshots.sh OUTPUT_FOLDER [BUILD_FOLDER]
set -euo pipefail
out=${1:?output folder}
build=${2:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true; [ -n "${xpid:-}" ] && kill "$xpid" 2>/dev/null || true' EXIT
cp "$here/lang/Deflan.dat" "$work/"
cp "$here"/examples/*.htm* "$work/" 2>/dev/null || true
display=:97
Xvfb "$display" -screen 0 1280x900x24 >/dev/null 2>&1 &
xpid=$!
sleep 1
DISPLAY=$display QT_QPA_PLATFORM=xcb TERSIFY_PROGRAM_FOLDER="$work" TERSIFY_SCREENSHOTS="$out" \
  timeout 60 "$here/$build/tersify" "$work"/*.htm* >/dev/null 2>&1 || true
ls "$out"
