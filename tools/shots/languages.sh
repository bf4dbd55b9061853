#!/usr/bin/env bash
# The README's pictures of the status window after a transfer and of the
# settings dialog at a first start, in German, Japanese and Thai, each under
# its own locale (Wine draws each script only there):
#   tools/shots/languages.sh [DIR]   (default docs/screenshots)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mkdir -p "${1:-$top/docs/screenshots}" && cd "${1:-$top/docs/screenshots}" && pwd)
while read -r tag locale; do
  QC_LC_ALL=$locale QC_SHOT_SETUP=$top/tools/shots/status-setup.sh \
    "$top/tools/screenshot.sh" "$out/status-$tag.png" --title 'Quavercart(E:)' --settle 4
  # The first start's settings dialog; its caption is translated, so the
  # shot waits for it by time.
  QC_LC_ALL=$locale "$top/tools/screenshot.sh" "$out/settings-$tag.png" --settle 8
done <<'LIST'
de de_DE.UTF-8
ja ja_JP.UTF-8
th th_TH.UTF-8
LIST
