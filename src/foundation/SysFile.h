#pragma once
// The one way the program touches files: one object is one path and, while
// open, one handle. Every operation returns a result code and logs its own
// failure, so callers only test the result. Failures labelled E_ESYS_* in the
// log are all returned as E_FAIL.

#include <windows.h>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/Handle.h"

class CSysFile {
public:
    CSysFile() = default;
    CSysFile(const CSysFile&) = delete;
    CSysFile& operator=(const CSysFile&) = delete;

    // The slot order of these operations is part of the type's contract.
    virtual ~CSysFile();
    virtual bool IsInitialized() const;
    virtual wchar_t GetDriveLetter() const;
    virtual HRESULT SetPath(const wchar_t* path);
    virtual HRESULT Open(DWORD desiredAccess, DWORD disposition);
    virtual HRESULT Close();
    virtual HRESULT Write(DWORD count, const void* data, DWORD& written);
    virtual HRESULT Read(DWORD count, DWORD& read, void* buffer);
    virtual HRESULT SetPointer(LONG distance, DWORD method);
    virtual HRESULT GetPointer(DWORD& position);
    virtual HRESULT SetEnd();
    virtual HRESULT FlushBuffers();
    virtual HRESULT Delete();
    virtual HRESULT Exists() const;
    virtual HRESULT SetAttributes(DWORD attributes);
    virtual HRESULT GetAttributes(DWORD& attributes) const;
    virtual HRESULT Copy(const wchar_t* destination);
    virtual HRESULT GetSize(ULONGLONG& size) const;
    virtual HRESULT Move(const wchar_t* destination);
    virtual HRESULT GetFileName(std::wstring& name) const;
    virtual HRESULT GetPath(std::wstring& path) const;
    virtual HRESULT GetCreationTime(FILETIME& time);
    virtual HRESULT SetCreationTime(FILETIME time);
    virtual HRESULT GetLastWriteTime(FILETIME& time);
    virtual HRESULT SetLastWriteTime(FILETIME time);

    // Gives the open file the drive path newPath on the same volume, never
    // replacing an existing entry, without closing it: one step where a close
    // and a move take three. Writes no log line; on false the file is
    // unchanged, and a caller that needs the name closes it and moves it.
    bool RenameOpen(const wchar_t* newPath);

    // Cheap views for hot loops (comparing thousands of records).
    const std::wstring& Path() const { return m_path; }
    bool IsOpen() const { return m_handle.IsValid(); }

protected:
    // Sequential reading through a block buffer, for line readers. The
    // logical position stays exact: every other operation that depends on
    // the position first gives the unread rest back to the file.
    HRESULT ReadBuffered(DWORD count, DWORD& read, void* buffer);
    // One UTF-16 code unit as ReadBuffered gives it, taken straight from the
    // block when the block holds it: a history of many lines is millions.
    bool ReadUnit(wchar_t& unit) {
        if (m_ahead.size() - m_aheadPos >= sizeof unit) {
            std::memcpy(&unit, m_ahead.data() + m_aheadPos, sizeof unit);
            m_aheadPos += sizeof unit;
            return true;
        }
        DWORD got = 0;
        return ReadBuffered(sizeof unit, got, &unit) == S_OK && got == sizeof unit;
    }

private:
    void DropReadAhead();
    HRESULT Transfer(const wchar_t* operation, DWORD count, void* buffer, DWORD& done, bool write);

    CHandle m_handle;
    std::wstring m_path;
    std::vector<BYTE> m_ahead;
    size_t m_aheadPos = 0;
};

// UTF-16LE text lines ended by CR LF.
class CSysTextFile : public CSysFile {
public:
    // True when exactly the four bytes of CR LF were written.
    virtual bool WriteNewLine();

    // The text without terminator, then CR LF only if the text was written
    // whole. An empty text writes nothing and succeeds.
    bool WriteLine(const wchar_t* text);

    // The next line without its CR LF; a CR or LF outside a CR LF pair stays
    // in the line. False, with no line, at the end of the file, for an empty
    // line, and for a lone code unit before the end of the file. A line that
    // grows beyond limit stops there and comes back with limit + 1 units, so
    // a damaged file without line ends cannot fill the memory. blank, when
    // given, tells an empty line (more may follow) from the end of the file.
    bool ReadLine(std::wstring& line, size_t limit = static_cast<size_t>(-1), bool* blank = nullptr);
};
