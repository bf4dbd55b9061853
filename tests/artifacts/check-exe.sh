#!/usr/bin/env bash
# The two programs: x86_64 as PE32+, i686 as PE32, both GUI subsystem,
# importing only DLLs that Windows itself provides.
set -u
fail=0
check() {
  local exe=$1 want=$2 objdump=$3
  if [ ! -f "$exe" ]; then echo "FAIL: $exe is missing"; fail=1; return; fi
  local kind; kind=$(file -b "$exe")
  case "$kind" in
    "$want"*"(GUI)"*) echo "ok: $exe: $kind" ;;
    *) echo "FAIL: $exe: expected $want (GUI), got: $kind"; fail=1 ;;
  esac
  local dlls; dlls=$("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  local d
  for d in $dlls; do
    case "$d" in
      kernel32.dll|user32.dll|gdi32.dll|shell32.dll|shlwapi.dll|ole32.dll|oleaut32.dll|rpcrt4.dll|\
      advapi32.dll|comctl32.dll|comdlg32.dll|version.dll|msvcrt.dll|api-ms-win-crt-*.dll) ;;
      *) echo "FAIL: $exe imports $d"; fail=1 ;;
    esac
  done
  echo "   imports: $(echo $dlls)"
}
check "$1" "PE32+ executable" x86_64-w64-mingw32-objdump
check "$2" "PE32 executable" i686-w64-mingw32-objdump
exit $fail
