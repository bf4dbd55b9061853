#!/usr/bin/env bash
# Configures and builds both targets: build/x86_64 (runs under Wine, with the
# tests) and build/i686 (the 32-bit program for the player). QC_BUILD_ROOT
# names another root than build/; arguments are passed to every build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)
for arch in x86_64 i686; do
  dir=${QC_BUILD_ROOT:-build}/$arch
  tests=ON; [ "$arch" = i686 ] && tests=OFF
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" \
      -DQC_WERROR=ON -DQC_TESTS=$tests -DQC_I686_EXE="$top/${QC_BUILD_ROOT:-build}/i686/Quavercart.exe" >/dev/null
  fi
  cmake --build "$dir" -j "$jobs" "$@"
done
