#!/usr/bin/env bash
# Runs one engine test program from the player drive E:, because the engine
# takes the drive of its own program for the player.
#   run-on-player.sh PROGRAM [--tmpfs SIZE] [--readonly] [gtest arguments...]
# With --tmpfs the player's folder is first covered by a tmpfs of SIZE, so the
# free space the program sees is the platform's real answer for a small
# player. When the mount is refused, QC_SMALL_PLAYER=refused tells the
# program to skip the tests that need it. --readonly mounts an empty
# read-only E:\ReadOnly (QC_READONLY_FOLDER=mounted or refused).
set -u
exe=$1; shift
size=""
readonly_dir=0
while :; do
  case "${1:-}" in
    --tmpfs) size=$2; shift 2 ;;
    --readonly) readonly_dir=1; shift ;;
    *) break ;;
  esac
done
player=${QC_PLAYER_DIR:?run the tests through tools/test.sh}
here=$(cd "$(dirname "$0")" && pwd)
mounted=0
if [ -n "$size" ]; then
  if mount -t tmpfs -o "size=$size" qc-small-player "$player" 2>/dev/null; then
    mounted=1
    export QC_SMALL_PLAYER=$size
  else
    echo "run-on-player: mounting a tmpfs over $player was refused" >&2
    export QC_SMALL_PLAYER=refused
  fi
fi
# E:\ReadOnly: a folder the program cannot write to.
ro=$player/ReadOnly
ro_mounted=0
if [ $readonly_dir = 1 ]; then
  mkdir -p "$ro"
  if mount -t tmpfs -o ro,size=64k qc-readonly "$ro" 2>/dev/null; then
    ro_mounted=1
    export QC_READONLY_FOLDER=mounted
  else
    echo "run-on-player: mounting a read-only folder was refused" >&2
    export QC_READONLY_FOLDER=refused
  fi
fi
name=$(basename "$exe")
cleanup() {
  rm -f "$player/$name"
  if [ $ro_mounted = 1 ]; then umount "$ro" || umount -l "$ro"; fi
  rmdir "$ro" 2>/dev/null
  if [ $mounted = 1 ]; then umount "$player" || umount -l "$player"; fi
  ro_mounted=0
  mounted=0
}
trap cleanup EXIT
trap 'exit 143' INT TERM
cp "$exe" "$player/$name"
"$here/../../tools/wine-exec.sh" "E:\\$name" "$@"
