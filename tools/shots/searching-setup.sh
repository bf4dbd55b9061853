# Sourced by tools/screenshot.sh: a known player and a computer whose many
# folders keep the search busy for a few seconds.
. "$top/tools/sample-music.sh"
user=$WINEPREFIX/drive_c/users/$(id -un)
qc_known_player "$user"
qc_sample_music
# Many folders keep the search busy long enough to watch.
(cd "$user/Music" && mkdir -p Archive && cd Archive && for a in $(seq 1 120); do mkdir -p $(printf "d$a/%s " $(seq 1 300)); done)
