#include "store/TransferHistory.h"

#include "store/AppPaths.h"

#include <cstring>
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
    // A file cut short elsewhere (a torn write, a damaged disk) may end inside
    // a line or a character: the new line must start on a line of its own, or
    // it would be lost in the old one. What the load never reads (half a
    // character, a last line of one character) is cut off; a longer last line
    // is ended as it stands.
    std::string bytes;
    ULONGLONG size = 0, keep = 0;
    if (SUCCEEDED(file.GetSize(size)) && size > sizeof kByteOrderMark) {
        keep = size - size % 2;
        BYTE tail[6] = {};  // the last three characters that are whole
        DWORD read = 0;
        const LONG back = static_cast<LONG>(keep < 8 ? keep - 2 : 6);
        if (SUCCEEDED(file.SetPointer(static_cast<LONG>(keep) - static_cast<LONG>(size) - back, FILE_END))) {
            file.Read(static_cast<DWORD>(back), read, tail + 6 - back);
        }
        auto endsLine = [&](int at) {
            return tail[at] == 0x0D && tail[at + 1] == 0 && tail[at + 2] == 0x0A && tail[at + 3] == 0;
        };
        if (keep > 2 && !endsLine(2)) {
            if (keep == 4 || endsLine(0)) {
                keep -= 2;
            } else {
                bytes = std::string("\r\0\n\0", 4);
            }
        }
    }
    bytes.append(reinterpret_cast<const char*>(line.data()), line.size() * sizeof(wchar_t));
    if (keep && keep < size) {
        file.SetPointer(static_cast<LONG>(keep) - static_cast<LONG>(size), FILE_END);
        file.SetEnd();
    } else {
        file.SetPointer(0, FILE_END);
    }
    DWORD count = static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (file.Write(count, bytes.data(), written) != S_OK || written != count) return false;
    file.Close();
    return true;
}

bool AppendHistory(const CTransferFile& record) { return AppendHistoryAt(HistoryPath().c_str(), record); }
