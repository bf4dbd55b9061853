# Sourced by the scripts: one private Wine prefix per build tree, a removable
# drive E: for the simulated player, real special folders, one wineserver.
#   qc_wine_start BUILD_DIR   prepares everything and exports the environment
#   qc_wine_stop              ends the wineserver and the Xvfb this script started

QC_WINE=${QC_WINE:-/usr/lib/wine/wine64}
QC_WINESERVER=${QC_WINESERVER:-/usr/lib/wine/wineserver}

# Wine takes its UI language from LC_ALL even when that locale is not installed
# here; it is set for Wine alone so the shell does not complain about it.
qc_wine() { LC_ALL=$QC_LC_ALL "$QC_WINE" "$@" </dev/null; }

qc_wine_export() {
  local run=$1
  export QC_RUN_DIR=$run
  export WINEPREFIX=$run/prefix
  export WINEARCH=win64
  export WINEDEBUG=${WINEDEBUG:--all}
  # No Mono or Gecko installer dialogs; no crash dialog, so a crash fails the test.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
  export TZ=${QC_TZ:-UTC}
  # C.UTF-8 is always there: under a locale that is not installed Wine cannot name
  # files in other scripts (a test could then neither make nor remove them).
  export QC_LC_ALL=${QC_LC_ALL:-C.UTF-8}
  export QC_PLAYER_DIR=$run/player
}

# A private Xvfb, so a user's own mouse and windows cannot disturb the tests;
# QC_USE_DISPLAY=1 keeps the user's display (the main job shows its window there).
qc_start_display() {
  if [ "${QC_USE_DISPLAY:-0}" = 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 91 120); do
    [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    QC_XVFB_PID=$!
    export DISPLAY=:$n
    local i
    for i in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$QC_XVFB_PID" 2>/dev/null
  done
  echo "qc: no X display could be started (Xvfb on :91 to :120)" >&2
  return 1
}

# Real folders instead of Wine's links into $HOME, so a search never walks it.
qc_real_user_folders() {
  local user=$WINEPREFIX/drive_c/users/$(id -un) d
  for d in Desktop Documents Downloads Music Pictures Videos Templates; do
    if [ -L "$user/$d" ]; then rm -f "$user/$d"; fi
    mkdir -p "$user/$d"
  done
}

qc_wine_start() {
  local build=$1
  qc_wine_export "$build/wine"
  mkdir -p "$QC_RUN_DIR" "$QC_PLAYER_DIR"
  qc_start_display || return 1
  local stamp=$WINEPREFIX/.qc-ready
  if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$("$QC_WINE" --version)" ]; then
    echo "== Making the Wine prefix $WINEPREFIX" >&2
    rm -rf "$WINEPREFIX"
    qc_wine wineboot.exe --init >"$QC_RUN_DIR/wineboot.log" 2>&1 ||
      { cat "$QC_RUN_DIR/wineboot.log" >&2; echo "qc: wineboot failed" >&2; return 1; }
    "$QC_WINESERVER" -w
    qc_wine reg.exe add 'HKLM\Software\Wine\Drives' /v e: /d floppy /f >"$QC_RUN_DIR/reg.log" 2>&1 ||
      { cat "$QC_RUN_DIR/reg.log" >&2; echo "qc: marking E: as a removable drive failed" >&2; return 1; }
    # Without a window manager every hide would wait for one.
    qc_wine reg.exe add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >"$QC_RUN_DIR/reg.log" 2>&1 ||
      { cat "$QC_RUN_DIR/reg.log" >&2; echo "qc: turning off managed windows failed" >&2; return 1; }
    # -k fails when no server runs any more; -w then returns at once.
    "$QC_WINESERVER" -k 2>/dev/null || true
    "$QC_WINESERVER" -w
    "$QC_WINE" --version >"$stamp"
  fi
  # Caption buttons are Marlett glyphs; without the font they draw as letters.
  if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
      { echo "qc: marlett.ttf (package fonts-wine) could not be copied into the prefix" >&2; return 1; }
  fi
  qc_real_user_folders
  ln -sfn "$QC_PLAYER_DIR" "$WINEPREFIX/dosdevices/e:"
  # One persistent server for the whole run; its services start here, with
  # their output away from any test's pipes.
  # Exit code 2 means a server for this prefix already runs: that one serves.
  "$QC_WINESERVER" -p >/dev/null 2>&1 </dev/null || true
  # Never let this warm-up end the calling script; try it again if it fails.
  local try
  for try in 1 2 3; do
    qc_wine cmd.exe /c exit >/dev/null 2>&1 && return 0
    sleep 1
  done
  # Not fatal: the tests themselves then say what does not work.
  echo "qc: warning: Wine did not start a program in $WINEPREFIX (tried 3 times)" >&2
  return 0
}

qc_wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && "$QC_WINESERVER" -k >/dev/null 2>&1
  if [ -n "${QC_XVFB_PID:-}" ]; then kill "$QC_XVFB_PID" 2>/dev/null; wait "$QC_XVFB_PID" 2>/dev/null; fi
  return 0
}
