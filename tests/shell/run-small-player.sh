#!/usr/bin/env bash
# Runs one end-to-end test program with the player's folder (drive E:)
# covered by a tmpfs of a fixed size, so the program sees a small player.
#   run-small-player.sh PROGRAM SIZE [gtest arguments...]
# QC_SMALL_PLAYER tells the program the size, or "refused" when the mount was
# refused (the program then skips what needs it).
set -u
exe=$1
size=$2
shift 2
player=${QC_PLAYER_DIR:?run the tests through tools/test.sh}
here=$(cd "$(dirname "$0")" && pwd)
mounted=0
if mount -t tmpfs -o "size=$size" qc-small-player "$player" 2>/dev/null; then
  mounted=1
  export QC_SMALL_PLAYER=$size
else
  echo "run-small-player: mounting a tmpfs over $player was refused" >&2
  export QC_SMALL_PLAYER=refused
fi
cleanup() {
  if [ $mounted = 1 ]; then umount "$player" || umount -l "$player"; fi
  mounted=0
}
trap cleanup EXIT
trap 'exit 143' INT TERM
"$here/../../tools/wine-exec.sh" "$exe" "$@"
