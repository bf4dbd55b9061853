#!/usr/bin/env bash
# Makes every picture of the README again from the real program:
#   tools/shots/readme.sh [DIR]   (default docs/screenshots)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mkdir -p "${1:-$top/docs/screenshots}" && cd "${1:-$top/docs/screenshots}" && pwd)
shots=$top/tools/shots
shot() { "$top/tools/screenshot.sh" "$@"; }
"$top/tools/main-job.sh" --shots "$out"
QC_SHOT_SETUP=$shots/searching-setup.sh shot "$out/status-searching.png" --title 'Quavercart(E:)' --settle 2
QC_SHOT_SETUP=$shots/version-setup.sh QC_SHOT_ACTION=$shots/version-action.sh \
  shot "$out/version.png" --title 'Quavercart(E:)'
shot "$out/settings.png" --title 'Settings(E:)'
QC_SHOT_ACTION=$shots/advanced-action.sh shot "$out/advanced.png" --title 'Settings(E:)'
QC_SHOT_ACTION=$shots/extension-action.sh shot "$out/extension.png" --title 'Settings(E:)'
shot "$out/not-removable.png" --fixed --title Error
"$shots/languages.sh" "$out"
