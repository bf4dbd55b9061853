#include "support/Computer.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <random>

namespace qctest {
namespace {

std::wstring FolderPath(int csidl) {
    wchar_t path[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
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

bool EmptyFolder(const std::wstring& path) {
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW(Join(path, L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring child = Join(path, name);
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ok = DeleteTree(child) && ok;
        } else {
            ok = ::DeleteFileW(child.c_str()) && ok;
        }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return ok;
}

bool DeleteTree(const std::wstring& path) {
    if (!::PathIsDirectoryW(path.c_str())) return true;
    bool ok = EmptyFolder(path);
    return ::RemoveDirectoryW(path.c_str()) && ok;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    MakeDirs(folder);
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(f);
    return ok && written == bytes.size();
}

bool ReadBytes(const std::wstring& path, std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    ::GetFileSizeEx(f, &size);
    bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    BOOL ok = bytes.empty() || ::ReadFile(f, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    ::CloseHandle(f);
    return ok && read == bytes.size();
}

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring Utf16LeToWide(const std::string& bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return text;
}

std::string Narrow(const std::wstring& text) {
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(rng() & 0xFF);
    return bytes;
}

bool WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t ch : text) {
        bytes += static_cast<char>(ch & 0xFF);
        bytes += static_cast<char>((ch >> 8) & 0xFF);
    }
    return WriteBytes(path, bytes);
}

bool SetLastWrite(const std::wstring& path, WORD year, WORD month, WORD day, WORD hour, WORD minute) {
    SYSTEMTIME local = {year, month, 0, day, hour, minute, 0, 0};
    SYSTEMTIME utc;
    FILETIME time;
    if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &time)) return false;
    HANDLE f = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    BOOL ok = ::SetFileTime(f, nullptr, nullptr, &time);
    ::CloseHandle(f);
    return ok != FALSE;
}

const BYTE kPlayerId[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
const wchar_t kPlayerIdText[] = L"{00112233-4455-6677-8899-aabbccddeeff}";

std::wstring PrepareKnownPlayer(const Computer& pc, const std::wstring& settingsLines) {
    std::wstring playerFolder = Join(pc.playerRoot, L"Quavercart");
    WriteBytes(Join(playerFolder, L"device.id"), std::string(reinterpret_cast<const char*>(kPlayerId), 16));
    const wchar_t* deviceIni =
        L"[Settings]\r\nExtCount=2\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\"\r\n"
        L"[DiskSpace]\r\nSizeType=2\r\nMargin=20\r\n";
    WriteUtf16File(Join(playerFolder, L"Quavercart.ini"), deviceIni);
    std::wstring computer = Join(Join(pc.appData, L"Quavercart"), kPlayerIdText);
    WriteUtf16File(Join(computer, L"Quavercart.ini"), deviceIni);
    WriteUtf16File(Join(computer, L"Settings.ini"), L"[Settings]\r\n" + settingsLines);
    WriteBytes(Join(computer, L"TransferredFiles.dat"), std::string("\xFF\xFE", 2));
    return computer;
}

void SetUserDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    HKEY k;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        ::RegCloseKey(k);
    }
}

long long GetUserDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value, type = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, &type, &value, &size) != ERROR_SUCCESS) return -1;
    return value;
}

void DeleteUserValue(const wchar_t* key, const wchar_t* name) {
    HKEY k;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS) {
        ::RegDeleteValueW(k, name);
        ::RegCloseKey(k);
    }
}

std::wstring BuiltProgramPath() {
    std::wstring path = QC_PROGRAM_PATH;
    for (wchar_t& ch : path) {
        if (ch == L'/') ch = L'\\';
    }
    return path;
}

Computer ResetComputer() {
    Computer c;
    c.builtProgram = BuiltProgramPath();
    c.program = Join(c.playerRoot, L"Quavercart.exe");
    c.myMusic = FolderPath(CSIDL_MYMUSIC);
    c.desktop = FolderPath(CSIDL_DESKTOPDIRECTORY);
    c.commonDesktop = FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY);
    c.appData = FolderPath(CSIDL_APPDATA);
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    c.temp = temp;

    EmptyFolder(c.playerRoot);
    EmptyFolder(c.myMusic);
    EmptyFolder(c.desktop);
    EmptyFolder(c.commonDesktop);
    DeleteTree(Join(c.appData, L"Quavercart"));
    for (const wchar_t* log : {L"Quavercart.log", L"Quavercart.bak"}) ::DeleteFileW(Join(c.temp, log).c_str());
    ::CopyFileW(c.builtProgram.c_str(), c.program.c_str(), FALSE);
    DeleteUserValue(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", L"DisableAutoplay");
    DeleteUserValue(L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoDriveTypeAutoRun");
    return c;
}

} // namespace qctest
