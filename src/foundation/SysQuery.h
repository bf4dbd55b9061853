#pragma once
// Answers to the questions the program asks the system: which Windows, which
// drives, how much room is left after the reserve, folders, UUIDs, the shell.
// The table rules are kept apart from the queries so every row can be tested.

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "foundation/Handle.h"

// A function of the system's native layer (ntdll), looked up at run time so
// the program imports nothing beyond the Win32 libraries; null when missing.
void* GetNativeFunction(const char* name);

// OS version codes.
enum : int {
    kOsUnknown = 0,
    kOsWin32s = 1,
    kOsWin95 = 2,
    kOsWin98 = 3,
    kOsWinMe = 4,
    kOsNt4 = 5,
    kOsWin2000 = 6,
    kOsWinXp = 7,
    kOsVistaOrLater = 8,
};
// Service-pack codes; there is no 5.
enum : int { kSpNone = 0, kSpOther = 6 };

int OsVersionCodeFrom(DWORD platformId, DWORD major, DWORD minor);
int ServicePackCodeFrom(const wchar_t* csdVersion);
ULONGLONG MarginFromUnit(DWORD unit, DWORD amount);
ULONGLONG UsableAfterMargin(ULONGLONG freeBytes, ULONGLONG margin);
// Bit 0x04 (removable drives) and every bit above bit 7 cleared.
inline DWORD ClearRemovableAutorunBit(DWORD value) { return value & 0xFBu; }
// RFC 4122 byte order <-> the machine's UUID layout.
void UuidToRfcBytes(const UUID& uuid, BYTE (&out)[16]);
void RfcBytesToUuid(const BYTE (&bytes)[16], UUID& out);

bool GetDeviceRoot(wchar_t (&root)[MAX_PATH + 1]);
int GetOSVersionCode();
int GetServicePackCode();
UINT GetDriveStrings(wchar_t* buffer);  // buffer of at least 255 characters
UINT GetDriveKind(const wchar_t* root);
void SetFreeSpaceMargin(DWORD unit, DWORD amount);
ULONGLONG GetFreeSpaceMargin();
ULONGLONG GetUsableFreeBytes(const wchar_t* path);
ULONGLONG GetUsableFreeMegabytes(const wchar_t* path);

// GetUsableFreeBytes for a drive that is asked again and again: its root stays
// open between the questions, so each is one query of the volume instead of an
// open, a query and a close. Answers as GetUsableFreeBytes does, which it
// falls back to whenever the open root cannot answer.
class CFreeSpaceProbe {
public:
    ULONGLONG GetUsableFreeBytes(const wchar_t* root);
    void Reset();

private:
    CHandle m_root;
    std::wstring m_rootPath;
};

HRESULT CreateFolder(const wchar_t* path);
void BrowseForFolder(HWND owner, const wchar_t* rootPath, const wchar_t* title, wchar_t* chosen,
                     const wchar_t* initialFolder, BFFCALLBACK callback, UINT flags);
bool CreateUuid(BYTE (&out)[16]);
bool UuidToText(const BYTE (&bytes)[16], wchar_t (&out)[37]);
void OpenWithShell(HWND window, const wchar_t* verb, const wchar_t* path);
