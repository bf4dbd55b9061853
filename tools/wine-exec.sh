#!/bin/sh
# CTest's emulator: runs one Windows test program in the run's Wine prefix.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-exec: no WINEPREFIX; run the tests through tools/test.sh" >&2
  exit 2
fi
LC_ALL=${QC_LC_ALL:-C.UTF-8} exec "${QC_WINE:-/usr/lib/wine/wine64}" "$@"
