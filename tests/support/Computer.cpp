#include "support/Computer.h"

#include "foundation/Handle.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace qctest {
namespace {

std::wstring FolderPath(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// Keeps the folder itself.
bool EmptyFolder(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(path, L"*").c_str(), &fd));
    bool ok = true;
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &fd)) {
        std::wstring name = fd.cFileName, child = Join(path, name);
        if (name == L"." || name == L"..") continue;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ok = ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? DeleteTree(child) : ::DeleteFileW(child.c_str())) && ok;
    }
    return ok;
}

} // namespace

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    return folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

bool MakeDirs(const std::wstring& path) {
    int r = ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
    return r == ERROR_SUCCESS || r == ERROR_ALREADY_EXISTS || r == ERROR_FILE_EXISTS;
}

bool DeleteTree(const std::wstring& path) {
    if (!::PathIsDirectoryW(path.c_str())) return true;
    bool ok = EmptyFolder(path);
    return ::RemoveDirectoryW(path.c_str()) && ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    MakeDirs(path.substr(0, path.find_last_of(L'\\')));
    CHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return f && ::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    CHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!f || !::GetFileSizeEx(f.Get(), &size)) return false;
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    return bytes.empty() || (::ReadFile(f.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                             read == bytes.size());
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Utf16LeToWide(const std::string& bytes) {
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

std::string Narrow(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    return WriteBytes(path, "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2));
}

std::wstring PrepareKnownPlayer(const Computer& pc, const std::wstring& settingsLines) {
    std::wstring player = L"E:\\Quavercart";
    WriteBytes(Join(player, L"device.id"), std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16));
    const wchar_t* deviceIni =
        L"[Settings]\r\nExtCount=2\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\"\r\n"
        L"[DiskSpace]\r\nSizeType=2\r\nMargin=20\r\n";
    WriteUtf16File(Join(player, L"Quavercart.ini"), deviceIni);
    std::wstring computer = Join(pc.appData, L"Quavercart\\{00112233-4455-6677-8899-aabbccddeeff}");
    WriteUtf16File(Join(computer, L"Quavercart.ini"), deviceIni);
    WriteUtf16File(Join(computer, L"Settings.ini"), L"[Settings]\r\n" + settingsLines);
    WriteBytes(Join(computer, L"TransferredFiles.dat"), "\xFF\xFE");
    return computer;
}

std::wstring BuiltProgramPath() {
    std::wstring path = QC_PROGRAM_PATH;
    for (wchar_t& ch : path) ch = ch == L'/' ? L'\\' : ch;
    return path;
}

Computer ResetComputer() {
    Computer c;
    c.program = L"E:\\Quavercart.exe";
    c.myMusic = FolderPath(CSIDL_MYMUSIC);
    c.desktop = FolderPath(CSIDL_DESKTOPDIRECTORY);
    c.appData = FolderPath(CSIDL_APPDATA);
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    for (const std::wstring& folder : {std::wstring(L"E:\\"), c.myMusic, c.desktop, FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY)}) {
        EmptyFolder(folder);
    }
    DeleteTree(Join(c.appData, L"Quavercart"));
    for (const wchar_t* log : {L"Quavercart.log", L"Quavercart.bak"}) ::DeleteFileW(Join(temp, log).c_str());
    ::CopyFileW(BuiltProgramPath().c_str(), c.program.c_str(), FALSE);
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", L"DisableAutoplay");
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoDriveTypeAutoRun");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Quavercart.exe");
    return c;
}

} // namespace qctest
