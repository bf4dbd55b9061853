#!/usr/bin/env bash
# Runs one end-to-end test program with a player that can be pulled out and
# put back: the player's folder (drive E:) is a bind mount of a folder of its
# own. The program asks through files in QC_PLAYER_CONTROL (a Windows path):
# "remove" detaches the mount lazily (open files live on, as on a drive that is
# gone) and leaves an empty read-only folder in its place; "insert" brings the
# same files back. Each request is answered by "done". QC_PLAYER_CONTROL is
# "refused" when the mounts are refused (the program then skips).
#   run-removable-player.sh PROGRAM [gtest arguments...]
set -u
exe=$1; shift
player=${QC_PLAYER_DIR:?run the tests through tools/test.sh}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
files=$work/files control=$work/control
mkdir -p "$files" "$control"
watcher=
cleanup() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null && wait "$watcher" 2>/dev/null
  while mountpoint -q "$player"; do umount "$player" || umount -l "$player"; done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' INT TERM
if mount --bind "$files" "$player" 2>/dev/null; then
  export QC_PLAYER_CONTROL="Z:${control//\//\\}"
  while :; do
    if [ -e "$control/remove" ]; then
      umount -l "$player" && mount -t tmpfs -o ro,size=64k qc-gone "$player"
      rm -f "$control/remove"; touch "$control/done"
    elif [ -e "$control/insert" ]; then
      umount "$player" && mount --bind "$files" "$player"
      rm -f "$control/insert"; touch "$control/done"
    fi
    sleep 0.01
  done &
  watcher=$!
else
  echo "run-removable-player: a bind mount over $player was refused" >&2
  export QC_PLAYER_CONTROL=refused
fi
"$here/../../tools/wine-exec.sh" "$exe" "$@"
