#pragma once
// Helpers only the benchmarks use: the history's lines, a file's size, and a
// player reset that leaves the computer's music where the benchmark made it.

#include "foundation/SysQuery.h"
#include "store/AppPaths.h"
#include "support/Computer.h"

#include <shlobj.h>

#include <string>
#include <vector>

namespace qctest {

inline std::vector<std::wstring> HistoryLines() {
    std::wstring path;
    std::string bytes;
    std::vector<std::wstring> lines;
    const std::wstring text = GetHistoryFilePath(path) && ReadBytes(path, bytes) ? Utf16LeToWide(bytes.substr(2)) : L"";
    for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2) {
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

inline ULONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The player emptied but for the running benchmark, its per-computer data
// removed, then known again with the default device settings.
inline void ResetBenchPlayer() {
    wchar_t self[MAX_PATH + 1], appData[MAX_PATH + 1] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(L"E:\\*", &fd));
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &fd)) {
        const std::wstring child = Join(L"E:\\", fd.cFileName);
        if (fd.cFileName[0] == L'.' || ::lstrcmpiW(child.c_str(), self) == 0) continue;
        if (!::DeleteFileW(child.c_str())) DeleteTree(child);
    }
    ::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
    DeleteTree(Join(appData, L"Quavercart"));
    int first = 0;
    InitDeviceIdentity(first), InitDeviceSettings(), SetFreeSpaceMargin(2, 20);
}

} // namespace qctest
