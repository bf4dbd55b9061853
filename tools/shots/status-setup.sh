# Sourced by tools/screenshot.sh: a known player and a computer with a few
# songs, so the status window shows a finished transfer.
. "$top/tools/sample-music.sh"
user=$WINEPREFIX/drive_c/users/$(id -un)
rm -rf "$user/AppData/Roaming/Quavercart" "$user/Music"/* "$user/Desktop"/*
qc_known_player "$user"
qc_sample_music
