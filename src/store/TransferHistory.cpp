#include "store/TransferHistory.h"

#include "store/AppPaths.h"

#include <shlwapi.h>

namespace {

const BYTE kByteOrderMark[2] = {0xFF, 0xFE};

std::wstring HistoryPath() {
    std::wstring path;
    GetHistoryFilePath(path);  // an empty path makes the file operations fail
    return path;
}

// Leading white space skipped, digits up to the first other character; no
// digits give 0, and a value beyond 64 bits stays at the largest one.
ULONGLONG ParseSize(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && ::iswspace(text[i])) ++i;
    ULONGLONG value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        unsigned digit = text[i] - L'0';
        if (value > (~0ull - digit) / 10) return ~0ull;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace

CTransferHistory::~CTransferHistory() { Clear(); }

void CTransferHistory::Clear() {
    for (auto& entry : m_entries) delete entry.second;
    m_entries.clear();
}

std::wstring FormatHistoryLine(const CTransferFile& record) {
    std::wstring line = record.GetTimeStamp();
    line += L',';
    line += std::to_wstring(record.GetFileSize());
    line += L",\"";
    line += record.Path();
    line += L'"';
    return line;
}

bool ParseHistoryLine(const std::wstring& line, std::wstring& stamp, ULONGLONG& size, std::wstring& path) {
    if (line.size() > kHistoryLineMax) return false;
    size_t first = line.find(L',');
    if (first == std::wstring::npos || first > kHistoryNumberFieldMax) return false;
    size_t second = line.find(L',', first + 1);
    if (second == std::wstring::npos || second - first - 1 > kHistoryNumberFieldMax) return false;
    if (line.size() - second - 1 > kHistoryPathFieldMax) return false;

    wchar_t rest[kHistoryPathFieldMax + 1];
    ::lstrcpynW(rest, line.c_str() + second + 1, kHistoryPathFieldMax + 1);
    ::PathUnquoteSpacesW(rest);

    stamp.assign(line, 0, first);
    size = ParseSize(line.substr(first + 1, second - first - 1));
    path = rest;
    return true;
}

bool CreateHistoryFileAt(const wchar_t* path) {
    CSysFile file;
    file.SetPath(path);
    if (FAILED(file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS))) return false;
    DWORD written = 0;
    if (FAILED(file.Write(sizeof kByteOrderMark, kByteOrderMark, written))) return false;
    file.Close();
    return true;
}

bool CreateHistoryFile() { return CreateHistoryFileAt(HistoryPath().c_str()); }

bool CTransferHistory::LoadHistoryFileAt(const wchar_t* path) {
    CSysTextFile file;
    file.SetPath(path);
    if (file.Exists() == S_FALSE && !CreateHistoryFileAt(path)) return false;
    if (FAILED(file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING))) return false;

    BYTE mark[2] = {};
    DWORD read = 0;
    file.Read(sizeof mark, read, mark);
    file.SetPointer(2, FILE_BEGIN);
    if (read < 2 || mark[0] != kByteOrderMark[0] || mark[1] != kByteOrderMark[1]) return false;

    std::wstring line, stamp, source;
    ULONGLONG size = 0;
    bool blank = false;
    // A blank line (a hand edit, a tool that added one) must not end the load:
    // every song after it would be copied again on every transfer.
    while (file.ReadLine(line, kHistoryLineMax, &blank) || blank) {
        if (blank) continue;
        if (!ParseHistoryLine(line, stamp, size, source)) return false;
        CTransferFile* record = new CTransferFile;
        record->SetTimeStamp(stamp);
        record->SetFileSize(size);
        record->SetPath(source.c_str());
        m_entries.emplace(stamp, record);
    }
    return true;
}

bool CTransferHistory::LoadHistoryFile() { return LoadHistoryFileAt(HistoryPath().c_str()); }

bool AppendHistoryAt(const wchar_t* path, const CTransferFile& record) {
    CSysTextFile file;
    file.SetPath(path);
    if (file.Exists() == S_FALSE) CreateHistoryFileAt(path);
    if (FAILED(file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING))) return false;
    // The line and its end in one write, so a crash cannot leave a line
    // without its end for the next line to run into.
    std::wstring line = FormatHistoryLine(record);
    line += L"\r\n";
    file.SetPointer(0, FILE_END);
    DWORD bytes = static_cast<DWORD>(line.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (file.Write(bytes, line.data(), written) != S_OK || written != bytes) return false;
    file.Close();
    return true;
}

bool AppendHistory(const CTransferFile& record) { return AppendHistoryAt(HistoryPath().c_str(), record); }

bool ClearHistoryFileAt(const wchar_t* path) {
    CSysFile file;
    file.SetPath(path);
    if (FAILED(file.Open(GENERIC_WRITE, CREATE_ALWAYS))) return false;
    DWORD written = 0;
    if (file.Write(sizeof kByteOrderMark, kByteOrderMark, written) != S_OK || written != 2) return false;
    file.Close();
    return true;
}

bool ClearHistoryFile() { return ClearHistoryFileAt(HistoryPath().c_str()); }
