#!/usr/bin/env bash
# The main job: a simulated PELIQUO player (removable drive E: holding the
# program) on a simulated computer with music, and the program started from the
# player as autoplay would start it. Shows what landed on the player and the
# program's log. Runs on screen when there is a display, else under Xvfb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
"$top/tools/deps.sh"
"$top/tools/build.sh" >/dev/null
. "$top/tools/wine-env.sh"
. "$top/tools/sample-music.sh"
build=$top/${QC_BUILD_ROOT:-build}/x86_64
trap qc_wine_stop EXIT
qc_wine_start "$build"

echo "== Preparing the player (E: = $QC_PLAYER_DIR) and the computer"
find "$QC_PLAYER_DIR" -mindepth 1 -delete
cp "$build/Quavercart.exe" "$QC_PLAYER_DIR/"
user=$WINEPREFIX/drive_c/users/$(id -un)
rm -rf "$user/Music"/* "$user/Desktop"/* "$user/AppData/Roaming/Quavercart" "$user/Temp/Quavercart.log"
qc_sample_music
(cd "$user" && find Music Desktop -type f | sort | sed 's/^/   computer: /')

echo "== Starting E:\\Quavercart.exe"
set +e
timeout 120 env LC_ALL="$QC_LC_ALL" "$QC_WINE" 'E:\Quavercart.exe' </dev/null >"$QC_RUN_DIR/main-job.out" 2>&1
rc=$?
set -e
echo "   exit code: $rc"

echo "== On the player"
(cd "$QC_PLAYER_DIR" && find . -type f | sort | sed 's|^\./|   E:\\|; s|/|\\|g')
echo "== The program's log ($user/Temp/Quavercart.log)"
if [ -f "$user/Temp/Quavercart.log" ]; then
  iconv -f UTF-16LE -t UTF-8 "$user/Temp/Quavercart.log" | tr -d '\r' | sed 's/^/   /'
else
  echo "   (none)"
fi
exit $rc
