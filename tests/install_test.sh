#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs both programs from
# there and from a portable copy, checking where each one writes; then builds
# the Debian package and inspects it.
# Usage: tests/install_test.sh BUILD_FOLDER
# Exit status 77 (skipped) when cpack or dpkg-deb is missing.
set -euo pipefail
build=$(cd "${1:?build folder}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
for tool in cpack dpkg-deb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is missing"; exit 77; }
done
[ -x "$build/tersify" ] || { echo "skipped: the desktop program is not built"; exit 77; }

tmp=$(mktemp -d)
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen
# Font caches and the like go here, apart from the folders under test.
export XDG_CACHE_HOME=$tmp/cache
mkdir -p "$XDG_CACHE_HOME"

cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
prefix=$tmp/prefix
installed=(bin/tersify bin/tersify-cli share/tersify/Deflan.dat share/tersify/lang/German.lng
           share/tersify/help/tfy.html share/tersify/help/tfy-German.html share/man/man1/tersify-cli.1
           share/applications/tersify.desktop)
for size in 16 32 48 64 128 256; do installed+=("share/icons/hicolor/${size}x${size}/apps/tersify.png"); done
for f in "${installed[@]}"; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
# The desktop entry starts the program with the chosen files and offers it for HTML files.
entry=$prefix/share/applications/tersify.desktop
grep -qx 'Exec=tersify %F' "$entry" || fail "desktop entry: Exec does not pass the files"
grep -qx 'Icon=tersify' "$entry" || fail "desktop entry: icon"
grep -q '^MimeType=.*text/html;' "$entry" || fail "desktop entry: not a handler of HTML files"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "desktop entry invalid"; fi
head -c 8 "$prefix/share/icons/hicolor/48x48/apps/tersify.png" | od -An -tx1 | grep -q '89 50 4e 47' ||
  fail "icon is no PNG"
grep -q '^\.TH TERSIFY-CLI 1' "$prefix/share/man/man1/tersify-cli.1" || fail "man page header"
# Each manual page is valid UTF-8, loads nothing from outside and shows only pictures installed beside it.
for page in "$prefix"/share/tersify/help/tfy*.html; do
  iconv -f UTF-8 -t UTF-8 "$page" >/dev/null || fail "$page: not valid UTF-8"
  ! grep -qE '(src|href)="(https?:)?//' "$page" || fail "$page: external resource"
  pictures=$(grep -o '<img [^>]*src="[^"]*"' "$page" | sed 's/.*src="//; s/"$//')
  [ -n "$pictures" ] || fail "$page: no pictures"
  for picture in $pictures; do
    [ -f "$prefix/share/tersify/help/$picture" ] || fail "$page: missing picture $picture"
  done
done

mkdir -p "$tmp/pages"
printf '<p>   one   </p>\r\n\r\n<p>two</p>\r\n' > "$tmp/pages/page.html"

# Runs the desktop program once: it starts, takes a picture of each window
# and quits through its normal shutdown.
run_desktop() {  # program home config data shots
  env -u TERSIFY_PROGRAM_FOLDER HOME="$2" XDG_CONFIG_HOME="$3" XDG_DATA_HOME="$4" TERSIFY_SCREENSHOTS="$5" \
    timeout 120 "$1" "$tmp/pages/page.html" >/dev/null 2>&1 || fail "$1 did not end cleanly"
  [ -f "$5/main.png" ] || fail "$1 showed no main window"
}

# Files changed below a folder since the marker file was made.
changed_since() { find "$1" -newer "$2" \( -type f -o -type d \) ! -path "$1" | sort; }

# --- Installed copy ---------------------------------------------------------
touch "$tmp/marker"
sleep 1
mkdir -p "$tmp/home"
run_desktop "$prefix/bin/tersify" "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/shots1"
written=$(changed_since "$prefix" "$tmp/marker")
[ -z "$written" ] || fail "the installed program wrote into its prefix: $written"
[ -f "$tmp/config/tersify/Options.dat" ] || fail "no Options.dat in the configuration folder"
[ -f "$tmp/config/tersify/Tagschange.dat" ] || fail "no Tagschange.dat in the configuration folder"
[ -f "$tmp/config/tersify/Tagsdelete.dat" ] || fail "no Tagsdelete.dat in the configuration folder"
[ -d "$tmp/data/tersify/optimized" ] || fail "no output folder in the data folder"
[ -d "$tmp/data/tersify/backup" ] || fail "no backup folder in the data folder"
grep -q "edOptimizedPath=$tmp/data/tersify/optimized/" "$tmp/config/tersify/Options.dat" ||
  fail "Options.dat names another output folder"

# Unset XDG folders: the user's home folder is used.
run_desktop "$prefix/bin/tersify" "$tmp/home" "" "" "$tmp/shots2"
[ -f "$tmp/home/.config/tersify/Options.dat" ] || fail "no Options.dat in ~/.config/tersify"
[ -d "$tmp/home/.local/share/tersify/optimized" ] || fail "no output folder in ~/.local/share/tersify"
written=$(changed_since "$prefix" "$tmp/marker")
[ -z "$written" ] || fail "the installed program wrote into its prefix: $written"

# The command-line program writes only to standard output.
out=$(HOME="$tmp/home3" XDG_CONFIG_HOME="$tmp/config3" XDG_DATA_HOME="$tmp/data3" "$prefix/bin/tersify-cli" "$tmp/pages/page.html")
[ -n "$out" ] || fail "tersify-cli wrote nothing"
[ ! -e "$tmp/home3" ] && [ ! -e "$tmp/config3" ] && [ ! -e "$tmp/data3" ] || fail "tersify-cli wrote into the user's folders"
# In batch form its default output folder is the user's data folder, as the
# desktop program's.
HOME="$tmp/home5" XDG_CONFIG_HOME="$tmp/config5" XDG_DATA_HOME="$tmp/data5" \
  "$prefix/bin/tersify-cli" --quiet --overwrite all "$tmp/pages" >/dev/null 2>"$tmp/cli5.err" ||
  fail "tersify-cli batch run failed: $(cat "$tmp/cli5.err")"
[ -s "$tmp/data5/tersify/optimized/page.html" ] || fail "tersify-cli batch output not in the user's data folder"
written=$(changed_since "$prefix" "$tmp/marker")
[ -z "$written" ] || fail "tersify-cli wrote into its prefix: $written"

# --- Portable copy ------------------------------------------------------------
portable=$tmp/portable
mkdir -p "$portable"
cp "$prefix/bin/tersify" "$prefix/bin/tersify-cli" "$prefix/share/tersify/Deflan.dat" "$portable/"
cp -r "$prefix/share/tersify/help" "$prefix/share/tersify/lang" "$portable/"
touch "$tmp/marker2"
sleep 1
run_desktop "$portable/tersify" "$tmp/home4" "$tmp/config4" "$tmp/data4" "$tmp/shots4"
for f in Options.dat Tagschange.dat Tagsdelete.dat optimized backup; do
  [ -e "$portable/$f" ] || fail "portable copy: no $f beside the program"
done
# The portable command-line program's batch output goes beside it as well.
HOME="$tmp/home4" XDG_CONFIG_HOME="$tmp/config4" XDG_DATA_HOME="$tmp/data4" \
  "$portable/tersify-cli" --quiet --overwrite all "$tmp/pages" >/dev/null 2>"$tmp/cache/cli6.err" ||
  fail "portable tersify-cli batch run failed: $(cat "$tmp/cache/cli6.err")"
[ -s "$portable/optimized/page.html" ] || fail "portable tersify-cli output not beside the program"
[ ! -e "$tmp/home4" ] && [ ! -e "$tmp/config4" ] && [ ! -e "$tmp/data4" ] ||
  fail "the portable copy wrote outside its folder"
outside=$(changed_since "$tmp" "$tmp/marker2" | grep -v "^$portable" | grep -v "^$tmp/shots4" | grep -v "^$tmp/cache" || true)
[ -z "$outside" ] || fail "the portable copy wrote outside its folder: $outside"

# --- Debian package -----------------------------------------------------------
(cd "$build" && cpack -G DEB -B "$tmp/package" >/dev/null) || fail "cpack failed"
deb=$(ls "$tmp"/package/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no package"
contents=$(dpkg-deb -c "$deb")
for f in "${installed[@]}"; do
  grep -q " ./usr/$f\$" <<<"$contents" || fail "package lacks /usr/$f"
done
# Nothing outside /usr, and no writable file of the program in it.
if grep -v ' \./usr/' <<<"$contents" | grep -v ' \./$' | grep -q .; then fail "package writes outside /usr"; fi
if grep -qE '(Options|Tagschange|Tagsdelete)\.dat$|Default\.lst$' <<<"$contents"; then fail "package ships a user file"; fi
info=$(dpkg-deb -I "$deb")
grep -q "^ Package: tersify$" <<<"$info" || fail "package name"
depends=$(grep "^ Depends:" <<<"$info" || true)
grep -q "libqt6widgets6" <<<"$depends" || fail "dependencies lack the Qt 6 runtime: $depends"
grep -q "libc6" <<<"$depends" || fail "dependencies lack libc6: $depends"
echo "install layout and package: ok ($(basename "$deb"))"
echo "$depends"
