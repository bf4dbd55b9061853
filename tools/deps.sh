#!/usr/bin/env bash
# Installs what building and testing need on Debian 12, and nothing when it is
# all there. Not root: apt-get runs through sudo, so the build and the Wine
# prefix stay the user's own.
set -euo pipefail
pkgs=(cmake ninja-build g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64
      binutils-mingw-w64-i686 wine64 fonts-wine xvfb xauth x11-utils xdotool imagemagick googletest file
      fonts-wqy-microhei fonts-tlwg-loma-ttf)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
if [ "$(id -u)" != 0 ]; then
  command -v sudo >/dev/null || { echo "deps: not root and no sudo: install as root: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
echo "== Installing ${#missing[@]} packages (about 1 GB on a new machine): ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
echo "== apt-get update"
"${sudo[@]}" apt-get update -q || { echo "deps: apt-get update failed" >&2; exit 1; }
# apt's own lines (Get:, Unpacking, Setting up) show the progress.
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" |
  grep --line-buffered -E '^(Get:|Unpacking|Setting up|E:)' || true
for p in "${missing[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
    { echo "deps: $p could not be installed" >&2; exit 1; }
done
echo "== Packages installed"
