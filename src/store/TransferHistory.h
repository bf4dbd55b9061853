#pragma once
// The transfer history, TransferredFiles.dat: UTF-16LE with FF FE, one line
// per copied file, "stamp,size,\"path\"" ended by CR LF. It only grows by
// whole lines; clearing empties it to the mark alone.

#include "store/TransferFile.h"

#include <map>
#include <string>

// Limits of a line the loader accepts; the program writes lines far below
// them, so anything longer comes from a damaged file.
constexpr size_t kHistoryLineMax = 511;
constexpr size_t kHistoryNumberFieldMax = 49;
constexpr size_t kHistoryPathFieldMax = 519;

class CTransferHistory {
public:
    using Entries = std::multimap<std::wstring, CTransferFile*>;

    CTransferHistory() = default;
    CTransferHistory(const CTransferHistory&) = delete;
    CTransferHistory& operator=(const CTransferHistory&) = delete;
    virtual ~CTransferHistory();

    // Reads the history of the running player into memory, creating a
    // missing file. False when the file cannot be made, opened or read, does
    // not begin with FF FE, or holds a malformed line; entries before that
    // line stay loaded. Blank lines are skipped.
    bool LoadHistoryFile();
    bool LoadHistoryFileAt(const wchar_t* path);

    const Entries& GetEntries() const { return m_entries; }
    size_t Size() const { return m_entries.size(); }
    // Deletes every record.
    void Clear();

private:
    Entries m_entries;
};

// Opens or creates the file and writes FF FE at its start.
bool CreateHistoryFile();
bool CreateHistoryFileAt(const wchar_t* path);

// Appends the record's line: one open, one write of the line and its end, one
// close, so a crash loses at most that line. Creates a missing file.
bool AppendHistory(const CTransferFile& record);
bool AppendHistoryAt(const wchar_t* path, const CTransferFile& record);

// The line of a record without its CR LF.
std::wstring FormatHistoryLine(const CTransferFile& record);
// Splits one line into its fields; false for a malformed or oversized line.
bool ParseHistoryLine(const std::wstring& line, std::wstring& stamp, ULONGLONG& size, std::wstring& path);
