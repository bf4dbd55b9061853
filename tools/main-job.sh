#!/usr/bin/env bash
# The main job: a simulated PELIQUO player (removable drive E: holding the
# program) on a simulated computer with music in My Music and on the Desktop,
# the program started from the player as autoplay would start it, and a real
# transfer watched to its end. Shows the transfer log, the files that landed on
# the player, and the window: on screen when there is a display (the program
# then keeps running until you choose Exit from its tray icon), otherwise saved
# as build/main-job.png from a private Xvfb.
#   tools/main-job.sh [--shots DIR]   also saves DIR/status-during.png and
#                                      DIR/status-after.png (the README's pictures)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
shots=""
case "${1:-}" in
  "") ;;
  --shots)
    [ -n "${2:-}" ] || { echo "main-job: --shots needs a folder for the pictures" >&2; exit 2; }
    mkdir -p "$2" && shots=$(cd "$2" && pwd) || { echo "main-job: cannot use folder $2" >&2; exit 2; } ;;
  *) echo "usage: tools/main-job.sh [--shots DIR]" >&2; exit 2 ;;
esac
cd "$top"
"$top/tools/deps.sh"
"$top/tools/build.sh"
. "$top/tools/wine-env.sh"
. "$top/tools/sample-music.sh"
build=$top/${QC_BUILD_ROOT:-build}/x86_64
on_screen=0
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1 && [ -z "$shots" ]; then on_screen=1; export QC_USE_DISPLAY=1; fi
trap qc_wine_stop EXIT
qc_wine_start "$build"
desk=/desktop=Quavercart,800x600
# The UI driver works on the program's Wine desktop, or it could not see its windows.
driver() { qc_wine "Z:$build/uidriver.exe" "$@" --desktop Quavercart 2>/dev/null | tr -d '\r'; }

echo "== The player (E: = $QC_PLAYER_DIR) and the computer"
find "$QC_PLAYER_DIR" -mindepth 1 -delete
cp "$build/Quavercart.exe" "$QC_PLAYER_DIR/"
user=$WINEPREFIX/drive_c/users/$(id -un)
rm -rf "$user/Music"/* "$user/Desktop"/* "$user/AppData/Roaming/Quavercart" "$user/Temp/Quavercart.log"
qc_sample_music
[ -n "$shots" ] && qc_sample_music_large
qc_known_player "$user"
(cd "$user" && find Music Desktop -type f | sort | sed 's/^/   computer: /')

echo "== Starting E:\\Quavercart.exe"
qc_wine explorer.exe "$desk" 'E:\Quavercart.exe' >"$QC_RUN_DIR/main-job.out" 2>&1 &
hwnd=""
for _ in $(seq 30); do
  hwnd=$(driver wait --title 'Quavercart(E:)' --timeout 2000 || true)
  [ -n "$hwnd" ] && break
  sleep 0.5
done
[ -n "$hwnd" ] || { echo "main-job: no status window appeared within 30 s (program output: $QC_RUN_DIR/main-job.out)" >&2; exit 1; }
win=$(xdotool search --name 'Quavercart - Wine desktop' | head -n 1 || true)
[ -n "$win" ] || { echo "main-job: the Wine desktop window was not found on $DISPLAY" >&2; exit 1; }
log() { driver text --hwnd "$hwnd" --id 1004 || true; }
if [ -n "$shots" ]; then
  driver waittext --hwnd "$hwnd" --id 1004 --contains 'Concert part 2' --timeout 60000 || true
  import -window "$win" "$shots/status-during.png"
fi
for _ in $(seq 600); do log | grep -q -E 'Transfer (completed|interrupted|canceled)' && break; sleep 0.2; done
sleep 0.5
echo "== Transfer log"
log | sed '/^$/d; s/^/   /'
echo "== On the player"
(cd "$QC_PLAYER_DIR" && find . -type f | sort | sed 's|^\./|   E:\\|; s|/|\\|g')
if [ -n "$shots" ]; then
  import -window "$win" "$shots/status-after.png"
  echo "== Saved $shots/status-during.png and $shots/status-after.png"
elif [ $on_screen = 1 ]; then
  echo "== The window is on your screen; choose Exit from its tray icon to end."
  wait
else
  import -window "$win" "$build/../main-job.png"
  echo "== Saved the window as $(cd "$build/.." && pwd)/main-job.png"
fi
