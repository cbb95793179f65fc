#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
# Quiet and quick when everything is already there.
set -euo pipefail

need=()
for pkg in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    need+=("$pkg")
  fi
done
[ ${#need[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
    echo "Missing packages: ${need[*]}; run as root or install them." >&2; exit 1
  fi
fi
echo "Installing: ${need[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
