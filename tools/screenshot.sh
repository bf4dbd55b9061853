#!/usr/bin/env bash
# Takes a PNG of the program's windows as a person would see them: the program
# runs inside a Wine virtual desktop (so title bars are drawn) under Xvfb.
#   tools/screenshot.sh OUT.png [--fixed] [--title CAPTION] [--settle SECONDS]
#     --fixed     start the program from fixed drive C: instead of the player
#     --title     wait for a top-level window with this caption before the shot
#     --settle    seconds to wait after the window appeared (default 1)
# QC_SHOT_SETUP may name a bash file that is sourced after the player is
# prepared (to fill the computer with music, for example); QC_SHOT_ACTION one
# that is sourced once the --title window appeared (to open another window with
# `driver post ...`, for example; `driver` runs the UI driver on that desktop).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$1; shift
fixed=0; title=""; settle=1
while [ $# -gt 0 ]; do
  case "$1" in
    --fixed) fixed=1; shift ;;
    --title) title=$2; shift 2 ;;
    --settle) settle=$2; shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done
case "$out" in /*) ;; *) out=$PWD/$out ;; esac
cd "$top"
"$top/tools/deps.sh"
"$top/tools/build.sh"
. "$top/tools/wine-env.sh"
build=$top/${QC_BUILD_ROOT:-build}/x86_64
unset DISPLAY  # always a private Xvfb, so nothing else is on the picture
trap qc_wine_stop EXIT
qc_wine_start "$build"
find "$QC_PLAYER_DIR" -mindepth 1 -delete
cp "$build/Quavercart.exe" "$QC_PLAYER_DIR/Quavercart.exe"
program='E:\Quavercart.exe'
if [ $fixed = 1 ]; then
  mkdir -p "$WINEPREFIX/drive_c/Quavercart"
  cp "$build/Quavercart.exe" "$WINEPREFIX/drive_c/Quavercart/"
  program='C:\Quavercart\Quavercart.exe'
fi
[ -n "${QC_SHOT_SETUP:-}" ] && . "$QC_SHOT_SETUP"
desk=/desktop=Quavercart,800x600
qc_wine explorer.exe "$desk" "$program" >"$QC_RUN_DIR/shot-program.log" 2>&1 &
prog=$!
if [ -n "$title" ]; then
  found=0
  for _ in $(seq 30); do
    # The driver joins the program's Wine desktop to see its windows.
    if qc_wine "Z:$build/uidriver.exe" wait --title "$title" --timeout 2000 --desktop Quavercart \
      >"$QC_RUN_DIR/shot-driver.log" 2>&1; then found=1; break; fi
    sleep 0.5
  done
  [ $found = 1 ] || { echo "no window '$title' appeared" >&2; exit 1; }
fi
driver() { qc_wine "Z:$build/uidriver.exe" "$@" --desktop Quavercart; }
[ -n "${QC_SHOT_ACTION:-}" ] && . "$QC_SHOT_ACTION"
sleep "$settle"
win=$(xdotool search --name 'Quavercart - Wine desktop' | head -n 1 || true)
[ -n "$win" ] || { echo "the Wine desktop window was not found" >&2; exit 1; }
import -window "$win" "$out"
echo "saved $out"
kill "$prog" 2>/dev/null || true
