#!/usr/bin/env bash
# The one test command: installs what is missing, builds both targets and runs
# every test of the x86_64 build under Wine (headless under Xvfb).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/deps.sh"
"$top/tools/build.sh"
# shellcheck source=wine-env.sh
. "$top/tools/wine-env.sh"
trap qc_wine_stop EXIT
qc_wine_start "$top/build/x86_64"
cd build/x86_64
ctest --output-on-failure -j "$(nproc)" "$@"
