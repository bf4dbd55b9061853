#include "foundation/SysFile.h"

#include "foundation/MiniLog.h"
#include "foundation/SysQuery.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <winternl.h>
#include <cstddef>
#include <cstring>

namespace {

constexpr size_t kPathLimit = MAX_PATH;  // 260 characters; buffers hold one more
constexpr DWORD kReadBlock = 65536;

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool IsCreatingDisposition(DWORD disposition) {
    return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
}

// The one failure line of a system call: the error code is taken by the caller
// right after the call, before anything else can change it.
HRESULT MediumNotReady(const wchar_t* operation, DWORD error, const wchar_t* path) {
    CMiniLog(-1).Write(L"[%s] E_ESYS_MEDIUMNOTREADY %08x %s", operation, error, path);
    return E_FAIL;
}

// The entry a path names, as FindFirstFileW would find it. A plain path is
// looked up by its attributes, which costs no directory handle; a pattern or
// a path ending in a separator keeps the search's own rules.
bool FindEntry(const std::wstring& path, ULONGLONG* size) {
    if (!path.empty() && path.find_first_of(L"*?<>\"") == std::wstring::npos && path.back() != L'\\' &&
        path.back() != L'/') {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
        if (size) *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) + data.nFileSizeLow;
        return true;
    }
    WIN32_FIND_DATAW data;
    CFindHandle find(::FindFirstFileW(path.c_str(), &data));
    if (!find) return false;
    if (size) *size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) + data.nFileSizeLow;
    return true;
}

} // namespace

CSysFile::~CSysFile() = default;

bool CSysFile::IsInitialized() const { return !m_path.empty() && IsAsciiLetter(m_path[0]); }

wchar_t CSysFile::GetDriveLetter() const {
    if (m_path.empty()) return 0;
    wchar_t c = m_path[0];
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

HRESULT CSysFile::SetPath(const wchar_t* path) {
    m_path = path ? path : L"";
    return S_OK;
}

HRESULT CSysFile::Open(DWORD desiredAccess, DWORD disposition) {
    if (!IsInitialized()) {
        CMiniLog(-1).Write(L"[Open] E_ESYS_NOTINITIALIZED %s", m_path.c_str());
        return E_FAIL;
    }
    if (m_path.size() > kPathLimit) {
        CMiniLog(-1).Write(L"[Open] E_ESYS_ILLEGALFILEPATH %s", m_path.c_str());
        return E_FAIL;
    }
    if (IsCreatingDisposition(disposition)) {
        wchar_t folder[MAX_PATH + 1];
        ::lstrcpynW(folder, m_path.c_str(), MAX_PATH + 1);
        if (!::PathRemoveFileSpecW(folder)) {
            CMiniLog(-1).Write(L"[Open] E_ESYS_ILLEGALFILEPATH %s", m_path.c_str());
            return E_FAIL;
        }
        if (!::PathIsDirectoryW(folder)) {
            ::PathAddBackslashW(folder);
            if (::SHCreateDirectoryExW(nullptr, folder, nullptr) != 0) {
                return MediumNotReady(L"Open", ::GetLastError(), m_path.c_str());
            }
        }
    }
    HANDLE h = ::CreateFileW(m_path.c_str(), desiredAccess, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return MediumNotReady(L"Open", ::GetLastError(), m_path.c_str());
    }
    m_ahead.clear();
    m_aheadPos = 0;
    m_handle.Reset(h);
    return S_OK;
}

HRESULT CSysFile::Close() {
    m_ahead.clear();
    m_aheadPos = 0;
    m_handle.Reset();
    return S_OK;
}

void CSysFile::DropReadAhead() {
    if (m_aheadPos < m_ahead.size()) {
        LARGE_INTEGER back;
        back.QuadPart = -static_cast<LONGLONG>(m_ahead.size() - m_aheadPos);
        ::SetFilePointerEx(m_handle.Get(), back, nullptr, FILE_CURRENT);
    }
    m_ahead.clear();
    m_aheadPos = 0;
}

HRESULT CSysFile::Transfer(const wchar_t* operation, DWORD count, void* buffer, DWORD& done, bool write) {
    if (count == 0) {
        done = 0;
        return S_OK;
    }
    if (!buffer) {
        CMiniLog(-1).Write(L"[%s] E_INVALIDARG %s", operation, m_path.c_str());
        return E_INVALIDARG;
    }
    DropReadAhead();
    DWORD n = 0;
    BOOL ok = write ? ::WriteFile(m_handle.Get(), buffer, count, &n, nullptr)
                    : ::ReadFile(m_handle.Get(), buffer, count, &n, nullptr);
    done = n;
    if (!ok) return MediumNotReady(operation, ::GetLastError(), m_path.c_str());
    return S_OK;
}

HRESULT CSysFile::Write(DWORD count, const void* data, DWORD& written) {
    return Transfer(L"Write", count, const_cast<void*>(data), written, true);
}

HRESULT CSysFile::Read(DWORD count, DWORD& read, void* buffer) { return Transfer(L"Read", count, buffer, read, false); }

HRESULT CSysFile::ReadBuffered(DWORD count, DWORD& read, void* buffer) {
    if (count == 0 || !buffer) return Read(count, read, buffer);
    BYTE* out = static_cast<BYTE*>(buffer);
    DWORD done = 0;
    while (done < count) {
        if (m_aheadPos == m_ahead.size()) {
            m_ahead.resize(kReadBlock);
            m_aheadPos = 0;
            DWORD got = 0;
            if (!::ReadFile(m_handle.Get(), m_ahead.data(), kReadBlock, &got, nullptr)) {
                DWORD err = ::GetLastError();
                m_ahead.clear();
                read = done;
                return MediumNotReady(L"Read", err, m_path.c_str());
            }
            m_ahead.resize(got);
            if (got == 0) break;
        }
        size_t n = m_ahead.size() - m_aheadPos;
        if (n > count - done) n = count - done;
        std::memcpy(out + done, m_ahead.data() + m_aheadPos, n);
        m_aheadPos += n;
        done += static_cast<DWORD>(n);
    }
    read = done;
    return S_OK;
}

HRESULT CSysFile::SetPointer(LONG distance, DWORD method) {
    DropReadAhead();
    if (::SetFilePointer(m_handle.Get(), distance, nullptr, method) == INVALID_SET_FILE_POINTER) {
        return MediumNotReady(L"SetPointer", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::GetPointer(DWORD& position) {
    DropReadAhead();
    DWORD at = ::SetFilePointer(m_handle.Get(), 0, nullptr, FILE_CURRENT);
    if (at == INVALID_SET_FILE_POINTER) {
        return MediumNotReady(L"GetPointer", ::GetLastError(), m_path.c_str());
    }
    position = at;
    return S_OK;
}

HRESULT CSysFile::SetEnd() {
    DropReadAhead();
    if (!::SetEndOfFile(m_handle.Get())) {
        return MediumNotReady(L"SetEnd", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::FlushBuffers() {
    if (!::FlushFileBuffers(m_handle.Get())) {
        return MediumNotReady(L"FlushBuffers", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::Delete() {
    if (IsOpen()) {
        CMiniLog(-1).Write(L"[Delete] E_ESYS_ILLEGALSEQUENCE %s", m_path.c_str());
        return E_FAIL;
    }
    SetAttributes(FILE_ATTRIBUTE_NORMAL);
    return ::DeleteFileW(m_path.c_str()) ? S_OK : E_FAIL;
}

HRESULT CSysFile::Exists() const { return FindEntry(m_path, nullptr) ? S_OK : S_FALSE; }

HRESULT CSysFile::SetAttributes(DWORD attributes) {
    if (IsOpen()) {
        CMiniLog(-1).Write(L"[SetAttributes] E_ESYS_ILLEGALSEQUENCE %s", m_path.c_str());
        return E_FAIL;
    }
    return ::SetFileAttributesW(m_path.c_str(), attributes) ? S_OK : E_FAIL;
}

HRESULT CSysFile::GetAttributes(DWORD& attributes) const {
    attributes = ::GetFileAttributesW(m_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return MediumNotReady(L"GetAttributes", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::Copy(const wchar_t* destination) {
    if (IsOpen()) {
        CMiniLog(-1).Write(L"[Copy] E_ESYS_ILLEGALSEQUENCE %s", m_path.c_str());
        return E_FAIL;
    }
    ::SetFileAttributesW(destination, FILE_ATTRIBUTE_NORMAL);
    if (!::CopyFileW(m_path.c_str(), destination, FALSE)) {
        return MediumNotReady(L"Copy", ::GetLastError(), m_path.c_str());
    }
    HRESULT hr = Open(GENERIC_READ, OPEN_EXISTING);
    if (FAILED(hr)) return hr;
    FILETIME created, written;
    BOOL got = ::GetFileTime(m_handle.Get(), &created, nullptr, &written);
    DWORD err = ::GetLastError();
    Close();
    if (!got) {
        return MediumNotReady(L"Copy", err, m_path.c_str());
    }
    CHandle target(::CreateFileW(destination, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!target) return MediumNotReady(L"Copy", ::GetLastError(), destination);
    if (!::SetFileTime(target.Get(), &created, nullptr, &written)) {
        err = ::GetLastError();
        target.Reset();
        return MediumNotReady(L"Copy", err, destination);
    }
    ::FlushFileBuffers(target.Get());
    return S_OK;
}

HRESULT CSysFile::GetSize(ULONGLONG& size) const {
    if (!FindEntry(m_path, &size)) {
        DWORD err = ::GetLastError();
        CMiniLog(-1).Write(L"[GetSize] ::FindFirstFile faild %08x %s", err, m_path.c_str());
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CSysFile::Move(const wchar_t* destination) {
    if (IsOpen()) {
        CMiniLog(-1).Write(L"[Move] E_ESYS_ILLEGALSEQUENCE %s", m_path.c_str());
        return E_FAIL;
    }
    // The destination is cleared before the move; when it names the source
    // itself that would delete the very file being moved.
    if (destination && ::lstrcmpiW(destination, m_path.c_str()) == 0) return S_OK;
    HRESULT hr = Open(GENERIC_READ, OPEN_EXISTING);
    if (FAILED(hr)) return hr;
    FILETIME created, written;
    BOOL got = ::GetFileTime(m_handle.Get(), &created, nullptr, &written);
    DWORD err = ::GetLastError();
    Close();
    if (!got) {
        return MediumNotReady(L"Move", err, m_path.c_str());
    }
    {
        CSysFile target;
        target.SetPath(destination);
        target.Delete();
    }
    if (!::MoveFileW(m_path.c_str(), destination)) {
        err = ::GetLastError();
        CMiniLog(-1).Write(L"[Move] E_ESYS_MEDIUMNOTREADY %08x %s %s", err, m_path.c_str(), destination);
        return E_FAIL;
    }
    SetPath(destination);
    hr = Open(GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (FAILED(hr)) return hr;
    BOOL set = ::SetFileTime(m_handle.Get(), &created, nullptr, &written);
    err = ::GetLastError();
    FlushBuffers();
    Close();
    if (!set) {
        return MediumNotReady(L"Move", err, m_path.c_str());
    }
    return S_OK;
}

bool CSysFile::RenameOpen(const wchar_t* newPath) {
    using SetInformation = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    static const auto setInformation = reinterpret_cast<SetInformation>(GetNativeFunction("NtSetInformationFile"));
    if (!setInformation || !IsOpen() || !newPath) return false;
    if (!IsAsciiLetter(newPath[0]) || newPath[1] != L':' || newPath[2] != L'\\') return false;
    // The system form of a drive path is the same text behind \??\, once the
    // path holds nothing that the Win32 layer would rewrite: no slash, no
    // component ending in a dot or a blank (which also covers . and ..).
    for (const wchar_t* c = newPath + 3;; ++c) {
        if (*c == L'/') return false;
        if ((*c == L'\\' || *c == L'\0') && (c[-1] == L'.' || c[-1] == L' ')) return false;
        if (*c == L'\0') break;
    }
    const std::wstring target = std::wstring(L"\\??\\") + newPath;
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    const size_t bytes = offsetof(FILE_RENAME_INFORMATION, FileName) + nameBytes;
    std::vector<ULONGLONG> block((bytes + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG));
    auto* info = reinterpret_cast<FILE_RENAME_INFORMATION*>(block.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<ULONG>(nameBytes);
    std::memcpy(info->FileName, target.data(), nameBytes);
    IO_STATUS_BLOCK io;
    if (!NT_SUCCESS(setInformation(m_handle.Get(), &io, info, static_cast<ULONG>(bytes), FileRenameInformation))) {
        return false;
    }
    m_path = newPath;
    return true;
}

HRESULT CSysFile::GetFileName(std::wstring& name) const {
    name = ::PathFindFileNameW(m_path.c_str());
    return S_OK;
}

HRESULT CSysFile::GetPath(std::wstring& path) const {
    path = m_path;
    return S_OK;
}

HRESULT CSysFile::GetCreationTime(FILETIME& time) {
    if (!::GetFileTime(m_handle.Get(), &time, nullptr, nullptr)) {
        return MediumNotReady(L"GetCreationTime", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::SetCreationTime(FILETIME time) {
    if (!::SetFileTime(m_handle.Get(), &time, nullptr, nullptr)) {
        return MediumNotReady(L"SetCreationTime", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::GetLastWriteTime(FILETIME& time) {
    if (!::GetFileTime(m_handle.Get(), nullptr, nullptr, &time)) {
        return MediumNotReady(L"GetLastWriteTime", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

HRESULT CSysFile::SetLastWriteTime(FILETIME time) {
    if (!::SetFileTime(m_handle.Get(), nullptr, nullptr, &time)) {
        return MediumNotReady(L"SetLastWriteTime", ::GetLastError(), m_path.c_str());
    }
    return S_OK;
}

bool CSysTextFile::WriteNewLine() {
    static const BYTE kCrLf[4] = {0x0D, 0x00, 0x0A, 0x00};
    DWORD written = 0;
    return Write(4, kCrLf, written) == S_OK && written == 4;
}

bool CSysTextFile::WriteLine(const wchar_t* text) {
    size_t length = text ? ::lstrlenW(text) : 0;
    if (length == 0) return true;
    DWORD bytes = static_cast<DWORD>(length * sizeof(wchar_t));
    DWORD written = 0;
    if (Write(bytes, text, written) != S_OK || written != bytes) return false;
    return WriteNewLine();
}

bool CSysTextFile::ReadLine(std::wstring& line, size_t limit, bool* blank) {
    line.clear();
    if (blank) *blank = false;
    auto next = [this](wchar_t& unit) { return ReadUnit(unit); };
    wchar_t unit;
    if (!next(unit)) return false;
    for (;;) {
        if (line.size() > limit) return true;
        if (unit == L'\r') {
            wchar_t after;
            if (!next(after)) {
                line.push_back(unit);
                break;
            }
            if (after == L'\n') {
                if (blank) *blank = line.empty();
                return !line.empty();
            }
            line.push_back(unit);
            unit = after;
            continue;
        }
        line.push_back(unit);
        if (!next(unit)) break;
    }
    // The file ended without a line end; a lone code unit is no line.
    if (line.size() > 1) return true;
    line.clear();
    return false;
}
