# Sourced: fills the simulated computer (the Wine prefix of wine-env.sh) with
# generated songs in My Music and on the Desktop, in a few folders.
qc_sample_music() {
  local user=$WINEPREFIX/drive_c/users/$(id -un)
  local music=$user/Music desktop=$user/Desktop
  mkdir -p "$music" "$desktop"
  local artist album n f
  for artist in "The Quavers" "Mezzo Forte"; do
    for album in "First Light" "Second Wind"; do
      mkdir -p "$music/$artist/$album"
      for n in 1 2 3; do
        f="$music/$artist/$album/0$n Track $n.mp3"
        head -c $((200000 + RANDOM * 8)) /dev/urandom >"$f"
      done
    done
  done
  head -c 300000 /dev/urandom >"$music/Single.wma"
  head -c 12345 /dev/urandom >"$music/cover.jpg"  # not music: never copied
  mkdir -p "$desktop/New songs"
  head -c 250000 /dev/urandom >"$desktop/New songs/Demo.mp3"
}
