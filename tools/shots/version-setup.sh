# Sourced by tools/screenshot.sh: a known player, nothing to search.
. "$top/tools/sample-music.sh"
qc_known_player "$WINEPREFIX/drive_c/users/$(id -un)"
