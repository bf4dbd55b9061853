#pragma once
// File helpers only the benchmarks use: the history's lines and a file's size.

#include "store/AppPaths.h"
#include "support/Computer.h"

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

} // namespace qctest
