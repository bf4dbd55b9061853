#!/usr/bin/env bash
# The two programs: x86_64 as PE32+, i686 as PE32, both GUI subsystem,
# importing only DLLs that Windows itself provides; the 32-bit program imports
# no function that Windows 2000 SP4 lacks, or the loader refuses it there
# before any of its own code could say so.
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
# Functions of the system DLLs that came after Windows 2000 SP4 (XP, XP SP1/SP2,
# Vista and later), the ones a runtime or a careless call could pull in.
newer="GetTickCount64 AddVectoredExceptionHandler RemoveVectoredExceptionHandler AddVectoredContinueHandler
RemoveVectoredContinueHandler EncodePointer DecodePointer InitializeSRWLock AcquireSRWLockExclusive
AcquireSRWLockShared ReleaseSRWLockExclusive ReleaseSRWLockShared TryAcquireSRWLockExclusive
TryAcquireSRWLockShared InitializeConditionVariable SleepConditionVariableCS SleepConditionVariableSRW
WakeConditionVariable WakeAllConditionVariable InitOnceInitialize InitOnceExecuteOnce InitOnceBeginInitialize
InitOnceComplete FlsAlloc FlsFree FlsGetValue FlsSetValue GetNativeSystemInfo IsWow64Process GetModuleHandleExA
GetModuleHandleExW GetFileInformationByHandleEx SetFileInformationByHandle GetFinalPathNameByHandleW
CreateSymbolicLinkW CreateHardLinkW GetLogicalProcessorInformation GetSystemTimePreciseAsFileTime GetProcessId
GetThreadId QueryFullProcessImageNameW CreateEventExW CreateMutexExW CreateSemaphoreExW InitializeCriticalSectionEx
GetLocaleInfoEx LCMapStringEx CompareStringEx GetUserDefaultLocaleName SetDllDirectoryW GetDllDirectoryW
AttachConsole GetSystemWow64DirectoryW SetThreadStackGuarantee GetErrorMode CancelIoEx
TzSpecificLocalTimeToSystemTime GetDynamicTimeZoneInformation HeapSetInformation RtlCaptureStackBackTrace
GetCurrentProcessorNumber WTSGetActiveConsoleSessionId GetVolumePathNamesForVolumeNameW CheckRemoteDebuggerPresent
GetProcessHandleCount SetFileValidData GetThreadPreferredUILanguages SetThreadUILanguage GetUserDefaultUILanguage
RegGetValueW RegDeleteTreeW RegDeleteKeyExW RegOpenKeyTransactedW SHGetKnownFolderPath SHCreateItemFromParsingName
SHGetFolderPathAndSubDirW ChangeWindowMessageFilter ChangeWindowMessageFilterEx SetProcessDPIAware PrintWindow
GetLayeredWindowAttributes UpdateLayeredWindowIndirect AddClipboardFormatListener TaskDialogIndirect TaskDialog
_vsnwprintf_s _snwprintf_s swprintf_s wcscpy_s wcscat_s wcsncpy_s strcpy_s memcpy_s _wfopen_s fopen_s _localtime64_s"
check_win2000() {
  local exe=$1 objdump=$2 funcs bad="" f
  funcs=$("$objdump" -p "$exe" | awk '/DLL Name:/ { dll = 1; next } /^[^[:space:]]/ { dll = 0 } dll && NF >= 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }')
  [ -n "$funcs" ] || { echo "FAIL: no imported functions read from $exe"; fail=1; return; }
  for f in $newer; do
    grep -qx "$f" <<<"$funcs" && bad="$bad $f"
  done
  if [ -n "$bad" ]; then echo "FAIL: $exe imports what Windows 2000 SP4 lacks:$bad"; fail=1
  else echo "ok: $exe imports $(wc -l <<<"$funcs") functions, none newer than Windows 2000 SP4"; fi
}
check "$1" "PE32+ executable" x86_64-w64-mingw32-objdump
check "$2" "PE32 executable" i686-w64-mingw32-objdump
check_win2000 "$2" i686-w64-mingw32-objdump
exit $fail
