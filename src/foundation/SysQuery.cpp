#include "foundation/SysQuery.h"

#include <shlwapi.h>
#include <rpc.h>
#include <shellapi.h>
#include <winternl.h>

namespace {
ULONGLONG g_freeSpaceMargin = 0;

bool QueryVersion(OSVERSIONINFOW& info) {
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 276 bytes
    return ::GetVersionExW(&info) != FALSE;
}
} // namespace

int OsVersionCodeFrom(DWORD platformId, DWORD major, DWORD minor) {
    switch (platformId) {
    case VER_PLATFORM_WIN32s:
        return kOsWin32s;
    case VER_PLATFORM_WIN32_WINDOWS:
        if (minor == 0) return kOsWin95;
        if (major < 4 || (major == 4 && minor < 90)) return kOsWin98;
        return kOsWinMe;
    case VER_PLATFORM_WIN32_NT:
        if (major < 5) return kOsNt4;
        if (major == 5) return minor == 0 ? kOsWin2000 : kOsWinXp;
        return kOsVistaOrLater;
    default:
        return kOsUnknown;
    }
}

int ServicePackCodeFrom(const wchar_t* csdVersion) {
    if (!csdVersion || csdVersion[0] == L'\0') return kSpNone;
    static const wchar_t* const kPacks[] = {L"Service Pack 1", L"Service Pack 2", L"Service Pack 3",
                                            L"Service Pack 4"};
    for (int i = 0; i < 4; ++i) {
        const wchar_t* a = csdVersion;
        const wchar_t* b = kPacks[i];
        auto lower = [](wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; };
        while (*a && *b && lower(*a) == lower(*b)) { ++a; ++b; }
        if (*a == L'\0' && *b == L'\0') return i + 1;
    }
    return kSpOther;
}

ULONGLONG MarginFromUnit(DWORD unit, DWORD amount) {
    ULONGLONG factor;
    switch (unit) {
    case 0: factor = 1; break;
    case 1: factor = 1024; break;
    case 2: factor = 1048576; break;
    default: factor = 1073741824; break;
    }
    return static_cast<ULONGLONG>(amount) * factor;
}

ULONGLONG UsableAfterMargin(ULONGLONG freeBytes, ULONGLONG margin) {
    return freeBytes > margin ? freeBytes - margin : 0;
}

void UuidToRfcBytes(const UUID& uuid, BYTE (&out)[16]) {
    out[0] = static_cast<BYTE>(uuid.Data1 >> 24);
    out[1] = static_cast<BYTE>(uuid.Data1 >> 16);
    out[2] = static_cast<BYTE>(uuid.Data1 >> 8);
    out[3] = static_cast<BYTE>(uuid.Data1);
    out[4] = static_cast<BYTE>(uuid.Data2 >> 8);
    out[5] = static_cast<BYTE>(uuid.Data2);
    out[6] = static_cast<BYTE>(uuid.Data3 >> 8);
    out[7] = static_cast<BYTE>(uuid.Data3);
    for (int i = 0; i < 8; ++i) out[8 + i] = uuid.Data4[i];
}

void RfcBytesToUuid(const BYTE (&b)[16], UUID& out) {
    out.Data1 = (static_cast<unsigned long>(b[0]) << 24) | (static_cast<unsigned long>(b[1]) << 16) |
                (static_cast<unsigned long>(b[2]) << 8) | b[3];
    out.Data2 = static_cast<unsigned short>((b[4] << 8) | b[5]);
    out.Data3 = static_cast<unsigned short>((b[6] << 8) | b[7]);
    for (int i = 0; i < 8; ++i) out.Data4[i] = b[8 + i];
}

bool GetDeviceRoot(wchar_t (&root)[MAX_PATH + 1]) {
    wchar_t module[MAX_PATH + 1];
    DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH + 1) return false;
    ::PathStripToRootW(module);
    ::lstrcpynW(root, module, MAX_PATH + 1);
    return true;
}

int GetOSVersionCode() {
    OSVERSIONINFOW info;
    if (!QueryVersion(info)) return kOsUnknown;
    return OsVersionCodeFrom(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}

int GetServicePackCode() {
    OSVERSIONINFOW info;
    if (!QueryVersion(info)) return kSpOther;
    return ServicePackCodeFrom(info.szCSDVersion);
}

UINT GetDriveStrings(wchar_t* buffer) { return ::GetLogicalDriveStringsW(255, buffer); }

UINT GetDriveKind(const wchar_t* root) { return ::GetDriveTypeW(root); }

void SetFreeSpaceMargin(DWORD unit, DWORD amount) { g_freeSpaceMargin = MarginFromUnit(unit, amount); }

ULONGLONG GetFreeSpaceMargin() { return g_freeSpaceMargin; }

ULONGLONG GetUsableFreeBytes(const wchar_t* path) {
    ULARGE_INTEGER avail, total, totalFree;
    // A drive that cannot be asked (the player was removed) has no room at all.
    if (!::GetDiskFreeSpaceExW(path, &avail, &total, &totalFree)) return 0;
    return UsableAfterMargin(totalFree.QuadPart, g_freeSpaceMargin);
}

ULONGLONG GetUsableFreeMegabytes(const wchar_t* path) { return GetUsableFreeBytes(path) / 1048576; }

void* GetNativeFunction(const char* name) {
    HMODULE native = ::GetModuleHandleW(L"ntdll.dll");
    return native ? reinterpret_cast<void*>(::GetProcAddress(native, name)) : nullptr;
}

ULONGLONG CFreeSpaceProbe::GetUsableFreeBytes(const wchar_t* root) {
    using QueryVolume = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FS_INFORMATION_CLASS);
    static const auto queryVolume = reinterpret_cast<QueryVolume>(GetNativeFunction("NtQueryVolumeInformationFile"));
    if (!queryVolume) return ::GetUsableFreeBytes(root);
    if (!m_root || m_rootPath != root) {
        m_rootPath = root;
        m_root.Reset(::CreateFileW(root, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    }
    if (m_root) {
        // The free bytes open to this user, as GetDiskFreeSpaceExW counts them
        // (the volume's total can include blocks kept for the administrator).
        IO_STATUS_BLOCK io;
        FILE_FS_FULL_SIZE_INFORMATION info;
        if (NT_SUCCESS(queryVolume(m_root.Get(), &io, &info, sizeof info, FileFsFullSizeInformation))) {
            ULONGLONG unit = static_cast<ULONGLONG>(info.SectorsPerAllocationUnit) * info.BytesPerSector;
            ULONGLONG freeBytes = static_cast<ULONGLONG>(info.CallerAvailableAllocationUnits.QuadPart) * unit;
            return UsableAfterMargin(freeBytes, g_freeSpaceMargin);
        }
        // A drive gone from under the handle: asked afresh by path, as always.
        m_root.Reset();
    }
    return ::GetUsableFreeBytes(root);
}

void CFreeSpaceProbe::Reset() {
    m_root.Reset();
    m_rootPath.clear();
}

HRESULT CreateFolder(const wchar_t* path) {
    if (!path || path[0] == L'\0') return E_FAIL;
    if (::PathIsDirectoryW(path)) return 0;
    wchar_t buffer[MAX_PATH + 2];
    ::lstrcpynW(buffer, path, MAX_PATH + 2);
    ::PathAddBackslashW(buffer);
    if (int result = ::SHCreateDirectoryExW(nullptr, buffer, nullptr)) {
        // Some failures come back without a last error; 0 would read as success.
        DWORD error = ::GetLastError();
        return static_cast<HRESULT>(error ? error : static_cast<DWORD>(result));
    }
    return ::PathIsDirectoryW(path) ? 0 : E_FAIL;
}

void BrowseForFolder(HWND owner, const wchar_t* rootPath, const wchar_t* title, wchar_t* chosen,
                     const wchar_t* initialFolder, BFFCALLBACK callback, UINT flags) {
    PIDLIST_ABSOLUTE rootItem = nullptr;
    if (rootPath && rootPath[0]) ::SHILCreateFromPath(rootPath, &rootItem, nullptr);

    wchar_t displayName[MAX_PATH + 2] = L"";
    BROWSEINFOW info = {};
    info.hwndOwner = owner;
    info.pidlRoot = rootItem;
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    info.ulFlags = flags;
    info.lpfn = callback;
    info.lParam = (initialFolder && initialFolder[0]) ? reinterpret_cast<LPARAM>(initialFolder) : 0;

    PIDLIST_ABSOLUTE result = ::SHBrowseForFolderW(&info);
    if (result) {
        wchar_t path[MAX_PATH + 2] = L"";
        if (::SHGetPathFromIDListW(result, path)) ::lstrcpynW(chosen, path, MAX_PATH + 1);
    }
    IMalloc* malloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&malloc)) && malloc) {
        if (rootItem) malloc->Free(rootItem);
        if (result) malloc->Free(result);
        malloc->Release();
    }
}

bool CreateUuid(BYTE (&out)[16]) {
    UUID uuid;
    if (::UuidCreate(&uuid) != RPC_S_OK) return false;
    UuidToRfcBytes(uuid, out);
    return true;
}

bool UuidToText(const BYTE (&bytes)[16], wchar_t (&out)[37]) {
    UUID uuid;
    RfcBytesToUuid(bytes, uuid);
    RPC_WSTR text = nullptr;
    if (::UuidToStringW(&uuid, &text) != RPC_S_OK || !text) return false;
    ::lstrcpynW(out, reinterpret_cast<const wchar_t*>(text), 37);
    ::RpcStringFreeW(&text);
    return true;
}

void OpenWithShell(HWND, const wchar_t* verb, const wchar_t* path) {
    ::ShellExecuteW(nullptr, verb, path, nullptr, nullptr, SW_SHOWNORMAL);
}
