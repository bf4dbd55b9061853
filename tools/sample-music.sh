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

# A few larger songs, so a transfer lasts long enough to be seen.
qc_sample_music_large() {
  local music=$WINEPREFIX/drive_c/users/$(id -un)/Music n
  mkdir -p "$music/Live Recordings"
  for n in 1 2 3 4 5 6 7 8 9 10 11 12; do
    head -c $((64 * 1048576)) /dev/zero >"$music/Live Recordings/Concert part $n.mp3"
  done
}

# A player this account has used before, set to search My Music and the
# desktops: its identity, the device settings, and the per-computer folder with
# Settings.ini and an empty history (UTF-16LE, as the program writes them).
qc_known_player() {
  local user=$1 id='{00112233-4455-6677-8899-aabbccddeeff}'
  local folder=$user/AppData/Roaming/Quavercart/$id
  mkdir -p "$QC_PLAYER_DIR/Quavercart" "$folder"
  printf '\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xaa\xbb\xcc\xdd\xee\xff' >"$QC_PLAYER_DIR/Quavercart/device.id"
  utf16() { printf '\xff\xfe'; printf "$1" | iconv -f UTF-8 -t UTF-16LE; }
  local ini='[Settings]\r\nExtCount=2\r\nExt1="mp3"\r\nPath1="Music"\r\nExt2="wma"\r\nPath2="Music"\r\n[DiskSpace]\r\nSizeType=2\r\nMargin=20\r\n'
  utf16 "$ini" >"$QC_PLAYER_DIR/Quavercart/Quavercart.ini"
  utf16 "$ini" >"$folder/Quavercart.ini"
  utf16 '[Settings]\r\nAllFolders=0\r\nMyMusic=1\r\nDeskTop=1\r\nSelectedFolders=0\r\nFolderCount=0\r\n' >"$folder/Settings.ini"
  printf '\xff\xfe' >"$folder/TransferredFiles.dat"
}
