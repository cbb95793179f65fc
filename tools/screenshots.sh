#!/usr/bin/env bash
# Starts the program under a virtual X server with the example pages and saves
# a picture of every window into OUTPUT_FOLDER/en and OUTPUT_FOLDER/de (the
# German language file). Needs Xvfb; without it the offscreen platform is used.
# SCREEN sets the virtual screen (default 1280x900x24), e.g. SCREEN=1024x500x24
# for a small one.
# SHOTS_WORK names the program's folder (made anew, removed after; default: a
# new temporary folder), so two builds can be pictured with the same paths.
# Usage: tools/screenshots.sh OUTPUT_FOLDER [BUILD_FOLDER]
set -euo pipefail
out=${1:?output folder}
build=${2:-build}
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$out"
case $build in /*) bin=$build/tersify ;; *) bin=$here/$build/tersify ;; esac
out=$(cd "$out" && pwd)
if [ -n "${SHOTS_WORK:-}" ]; then
  rm -rf "$SHOTS_WORK" && mkdir -p "$SHOTS_WORK" && work=$(cd "$SHOTS_WORK" && pwd)
else
  work=$(mktemp -d)
fi
xpid=
trap 'rm -rf "$work"; [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true' EXIT
cp "$here/lang/Deflan.dat" "$here/lang/German.lng" "$work/"
cp "$here"/examples/*.htm* "$work/" 2>/dev/null || true
# One fixed date for the pages, so pictures taken at different times agree.
touch -d '2026-01-02 03:04:05' "$work"/*.htm* 2>/dev/null || true

platform=offscreen
if command -v Xvfb >/dev/null; then
  display=:97
  Xvfb "$display" -screen 0 "${SCREEN:-1280x900x24}" >/dev/null 2>&1 &
  xpid=$!
  sleep 1
  platform=xcb
  export DISPLAY=$display
fi

take() {  # language folder name
  rm -rf "${out:?}/$1"
  ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=$platform TERSIFY_PROGRAM_FOLDER="$work" \
    TERSIFY_SCREENSHOTS="$out/$1" timeout 60 "$bin" "$work"/*.htm* >/dev/null 2>&1 || true
}

take en
# The first run left Options.dat; the second one starts in German.
if [ -f "$work/Options.dat" ]; then
  sed -i "s|^edLan=.*|edLan=$work/German.lng\r|" "$work/Options.dat"
else
  printf '[settings]\r\nedLan=%s\r\n' "$work/German.lng" > "$work/Options.dat"
fi
take de
ls "$out"/en "$out"/de
