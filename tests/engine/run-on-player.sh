#!/usr/bin/env bash
# Runs one engine test program from the player drive E:, because the engine
# takes the drive of its own program for the player.
#   run-on-player.sh PROGRAM [--tmpfs SIZE] [--readonly] [gtest arguments...]
# --tmpfs covers the player's folder with a tmpfs of SIZE, so the free space is
# the platform's real answer for a small player (QC_SMALL_PLAYER=SIZE, or
# "refused" when the mount is refused, and the program skips those tests).
# --readonly mounts an empty read-only E:\ReadOnly (QC_READONLY_FOLDER=mounted or refused).
set -u
exe=$1; shift
player=${QC_PLAYER_DIR:?run the tests through tools/test.sh}
here=$(cd "$(dirname "$0")" && pwd)
mounts=()
cleanup() {
  rm -f "$player/$(basename "$exe")"
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" || umount -l "${mounts[i]}"; done
  rmdir "$player/ReadOnly" 2>/dev/null
  mounts=()
}
trap cleanup EXIT
trap 'exit 143' INT TERM
# mount_tmpfs VARIABLE VALUE DIRECTORY OPTIONS
mount_tmpfs() {
  if mount -t tmpfs -o "$4" qc-player "$3" 2>/dev/null; then
    mounts+=("$3")
    export "$1=$2"
  else
    echo "run-on-player: mounting a tmpfs over $3 was refused" >&2
    export "$1=refused"
  fi
}
while :; do
  case "${1:-}" in
    --tmpfs) mount_tmpfs QC_SMALL_PLAYER "$2" "$player" "size=$2"; shift 2 ;;
    --readonly)
      mkdir -p "$player/ReadOnly"
      mount_tmpfs QC_READONLY_FOLDER mounted "$player/ReadOnly" ro,size=64k
      shift ;;
    *) break ;;
  esac
done
cp "$exe" "$player/"
"$here/../../tools/wine-exec.sh" "E:\\$(basename "$exe")" "$@"
