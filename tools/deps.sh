#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is all there.
set -euo pipefail
pkgs=(cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64
      binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick googletest file)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
