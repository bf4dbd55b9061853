#include "store/AppPaths.h"

#include "foundation/Application.h"
#include "foundation/Profile.h"
#include "foundation/SysFile.h"
#include "resource.h"

#include <shlobj.h>
#include <shlwapi.h>

const wchar_t kProductFolder[] = L"Quavercart";
const wchar_t kDeviceIdName[] = L"device.id";
const wchar_t kDeviceIniName[] = L"Quavercart.ini";
const wchar_t kSettingsIniName[] = L"Settings.ini";
const wchar_t kHistoryFileName[] = L"TransferredFiles.dat";

namespace {

bool SpecialFolder(int csidl, std::wstring& folder) {
    wchar_t path[MAX_PATH + 1] = L"";
    if (!::SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE)) return false;
    folder = path;
    return true;
}

bool DeviceRoot(std::wstring& root) {
    wchar_t path[MAX_PATH + 1];
    if (!GetDeviceRoot(path)) return false;
    root = path;
    return true;
}

std::wstring JoinPath(const std::wstring& folder, const wchar_t* name) {
    std::wstring path = folder;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + name;
}

// The path for the computer file fileName of the running player.
bool ComputerFile(const wchar_t* fileName, std::wstring& path) {
    std::wstring appData, root;
    if (!SpecialFolder(CSIDL_APPDATA, appData)) return false;
    if (!DeviceRoot(root)) return false;
    return ComputerPathAt(root.c_str(), appData.c_str(), fileName, path);
}

void ShowFileError(UINT textId) {
    wchar_t format[1024];
    wchar_t text[1024 + MAX_PATH];
    wchar_t caption[256];
    LoadResString(textId, format, 1024);
    LoadResString(IDS_ERROR_CAPTION, caption, 256);
    ::wsprintfW(text, format, kDeviceIdName);
    CountedMessageBox(nullptr, text, caption, MB_ICONERROR | MB_OK);
}

} // namespace

std::wstring DeviceIdPathAt(const wchar_t* root) {
    return JoinPath(JoinPath(root, kProductFolder), kDeviceIdName);
}

std::wstring DeviceIniPathAt(const wchar_t* root) {
    return JoinPath(JoinPath(root, kProductFolder), kDeviceIniName);
}

bool GetMyMusicFolder(std::wstring& folder) {
    if (SpecialFolder(CSIDL_MYMUSIC, folder)) return true;
    if (GetOSVersionCode() != kOsWin2000) return false;
    wchar_t path[MAX_PATH + 1] = L"";
    if (!::SHGetSpecialFolderPathW(nullptr, path, CSIDL_PERSONAL, FALSE)) return false;
    wchar_t name[256];
    LoadResString(IDS_MY_MUSIC, name, 256);
    if (!::PathAppendW(path, name) || !::PathFileExistsW(path)) return false;
    folder = path;
    return true;
}

bool GetDesktopFolder(int selector, std::wstring& folder) {
    if (selector == 1) return SpecialFolder(CSIDL_DESKTOPDIRECTORY, folder);
    if (selector == 0) return SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, folder);
    return false;
}

bool GetDeviceIdPath(std::wstring& path) {
    std::wstring root;
    if (!DeviceRoot(root)) return false;
    path = DeviceIdPathAt(root.c_str());
    return true;
}

bool ReadDeviceIdAt(const wchar_t* root, std::wstring& identity) {
    CSysFile file;
    file.SetPath(DeviceIdPathAt(root).c_str());
    if (FAILED(file.Open(GENERIC_READ, OPEN_EXISTING))) return false;
    BYTE bytes[16] = {};
    DWORD read = 0;
    if (FAILED(file.Read(sizeof bytes, read, bytes))) return false;
    wchar_t text[37];
    if (!UuidToText(bytes, text)) return false;
    identity += L'{';
    identity += text;
    identity += L'}';
    return true;
}

bool ReadDeviceId(std::wstring& identity) {
    std::wstring root;
    if (!DeviceRoot(root)) return false;
    return ReadDeviceIdAt(root.c_str(), identity);
}

bool ComputerPathAt(const wchar_t* root, const wchar_t* appData, const wchar_t* fileName, std::wstring& path) {
    if (!appData) return false;
    std::wstring identity;
    if (!ReadDeviceIdAt(root, identity)) return false;
    std::wstring result = JoinPath(JoinPath(appData, kProductFolder), identity.c_str());
    if (fileName) result = JoinPath(result, fileName);
    path = result;
    return true;
}

bool GetSettingsIniPath(std::wstring& path) { return ComputerFile(kSettingsIniName, path); }

bool GetHistoryFilePath(std::wstring& path) { return ComputerFile(kHistoryFileName, path); }

bool GetDeviceIniPath(int selector, std::wstring& path) {
    if (selector == 0) {
        std::wstring root;
        if (!DeviceRoot(root)) return false;
        path = DeviceIniPathAt(root.c_str());
        return true;
    }
    if (selector == 1) return ComputerFile(kDeviceIniName, path);
    return false;
}

bool InitDeviceIdentityAt(const wchar_t* root, const wchar_t* appData, int& firstContact, UuidMaker makeUuid) {
    firstContact = 0;
    if (!root) return true;
    CSysFile file;
    file.SetPath(DeviceIdPathAt(root).c_str());
    std::wstring folder;

    if (file.Exists() != S_OK) {
        firstContact = 1;
        if (FAILED(file.Open(GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS))) {
            ShowFileError(IDS_CREATE_FAILED);
            return false;
        }
        // An empty or partial identity file would be read as a made-up
        // identity at every later start, so it never stays behind.
        BYTE bytes[16];
        DWORD written = 0;
        if (!makeUuid(bytes) || file.Write(sizeof bytes, bytes, written) != S_OK || written != sizeof bytes) {
            file.Close();
            file.Delete();
            ShowFileError(IDS_CREATE_FAILED);
            return false;
        }
        file.Close();
        if (!appData) return false;
        if (!ComputerPathAt(root, appData, nullptr, folder)) {
            ShowFileError(IDS_READ_FAILED);
            return false;
        }
        if (!::PathFileExistsW(folder.c_str())) CreateFolder(folder.c_str());
        return true;
    }

    if (!appData) return true;
    if (!ComputerPathAt(root, appData, nullptr, folder)) {
        ShowFileError(IDS_READ_FAILED);
        return false;
    }
    if (!::PathFileExistsW(folder.c_str())) {
        CreateFolder(folder.c_str());
        firstContact = 1;
    }
    return true;
}

bool InitDeviceIdentity(int& firstContact) {
    firstContact = 0;
    std::wstring root;
    if (!DeviceRoot(root)) return true;
    std::wstring appData;
    bool haveAppData = SpecialFolder(CSIDL_APPDATA, appData);
    return InitDeviceIdentityAt(root.c_str(), haveAppData ? appData.c_str() : nullptr, firstContact);
}

int InitDeviceSettingsAt(const wchar_t* deviceIni, const wchar_t* computerCopy) {
    if (!deviceIni) return 0;
    CSysFile device;
    device.SetPath(deviceIni);
    if (device.Exists() == S_OK) return 0;
    if (computerCopy) {
        CSysFile copy;
        copy.SetPath(computerCopy);
        if (copy.Exists() == S_OK) {
            ::CopyFileW(computerCopy, deviceIni, FALSE);
            return 0;
        }
    }
    CProfile profile;
    profile.SetProfilePath(deviceIni);
    profile.CreateUnicodeFile();
    profile.WriteString(L"Settings", L"ExtCount", L"2");
    profile.WriteString(L"Settings", L"Ext1", L"\"mp3\"");
    profile.WriteString(L"Settings", L"Path1", L"\"Music\"");
    profile.WriteString(L"Settings", L"Ext2", L"\"wma\"");
    profile.WriteString(L"Settings", L"Path2", L"\"Music\"");
    profile.WriteString(L"DiskSpace", L"SizeType", L"2");
    profile.WriteString(L"DiskSpace", L"Margin", L"20");
    return 1;
}

int InitDeviceSettings() {
    std::wstring deviceIni, computerCopy;
    if (!GetDeviceIniPath(0, deviceIni)) return 0;
    bool haveCopy = GetDeviceIniPath(1, computerCopy);
    return InitDeviceSettingsAt(deviceIni.c_str(), haveCopy ? computerCopy.c_str() : nullptr);
}
