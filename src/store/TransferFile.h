#pragma once
// The record of one music file: a file object whose path is the source's full
// path, plus its size, its time stamp text and its destination on the player.
// Candidate lists and the history own these records on the heap.

#include "foundation/SysFile.h"

#include <string>

class CTransferFile : public CSysFile {
public:
    CTransferFile() = default;
    ~CTransferFile() override;

    void SetFileSize(ULONGLONG size) { m_size = size; }
    ULONGLONG GetFileSize() const { return m_size; }

    // 14 digits, YYYYMMDDhhmmss of the last write in local time.
    void SetTimeStamp(const std::wstring& stamp) { m_timeStamp = stamp; }
    const std::wstring& GetTimeStamp() const { return m_timeStamp; }

    void SetDestPath(const std::wstring& path) { m_destPath = path; }
    const std::wstring& GetDestPath() const { return m_destPath; }

private:
    ULONGLONG m_size = 0;
    std::wstring m_timeStamp;
    std::wstring m_destPath;
};
