#!/usr/bin/env bash
# Configures and builds both targets: build/x86_64 (runs under Wine, with the
# tests) and build/i686 (the 32-bit program for the player). QC_BUILD_ROOT
# names another root than build/; arguments are passed to every build.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=$(nproc)
# QC_TARGETS="a b" builds only those targets of the x86_64 tree, for work on one
# part while another part of the tree is being written.
arches="x86_64 i686"
[ -n "${QC_TARGETS:-}" ] && arches=x86_64
for arch in $arches; do
  dir=${QC_BUILD_ROOT:-build}/$arch
  tests=ON; [ "$arch" = i686 ] && tests=OFF
  opts=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/mingw-$arch.cmake" -DQC_WERROR=ON -DQC_TESTS=$tests
        -DQC_I686_EXE="$top/${QC_BUILD_ROOT:-build}/i686/Quavercart.exe")
  # A tree configured with other options or another toolchain (the compiler is
  # fixed at the first configure) is configured afresh.
  stamp=$(printf '%s\n' "${opts[@]}" | cat - cmake/*.cmake | sha1sum | cut -c1-40)
  if [ ! -f "$dir/build.ninja" ] || [ "$(cat "$dir/.qc-config" 2>/dev/null)" != "$stamp" ]; then
    echo "== Configuring $arch ($dir)"
    mkdir -p "$dir"
    fresh=(); [ -f "$dir/CMakeCache.txt" ] && fresh=(--fresh)
    cmake "${fresh[@]}" -S . -B "$dir" "${opts[@]}" >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; exit 1; }
    echo "$stamp" >"$dir/.qc-config"
  fi
  echo "== Building $arch"
  if [ -n "${QC_TARGETS:-}" ]; then
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$jobs" --target $QC_TARGETS
  else
    cmake --build "$dir" -j "$jobs" "$@"
  fi
done
