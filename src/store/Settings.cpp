#include "store/Settings.h"

#include "foundation/Profile.h"
#include "foundation/SysFile.h"
#include "store/AppPaths.h"

namespace {

const wchar_t kSection[] = L"Settings";

struct FlagKey {
    const wchar_t* key;
    const wchar_t* defaultText;
    bool CSettingsModel::*state;
};
const FlagKey kFlags[] = {
    {L"AllFolders", L"0", &CSettingsModel::allFolders},
    {L"MyMusic", L"1", &CSettingsModel::myMusic},
    {L"DeskTop", L"1", &CSettingsModel::deskTop},
    {L"SelectedFolders", L"0", &CSettingsModel::selectedFolders},
};

std::wstring NumberedKey(const wchar_t* stem, int n) { return stem + std::to_wstring(n); }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The platform writes a profile file that does not exist yet in the ANSI code
// page, which turns folder names outside it into question marks. A file that
// begins with FF FE is kept as UTF-16LE.
bool PrepareUnicodeFile(const CProfile& profile) {
    CSysFile file;
    file.SetPath(profile.GetProfilePath().c_str());
    if (file.Exists() == S_OK) return true;
    return profile.CreateUnicodeFile() == 1;
}

} // namespace

std::wstring UnquoteSpaces(const std::wstring& text) {
    if (!text.empty() && text.front() == L'"' && text.back() == L'"') {
        return text.size() < 2 ? std::wstring() : text.substr(1, text.size() - 2);
    }
    return text;
}

void CSettingsModel::LoadFolderSettingsFrom(const wchar_t* settingsIni) {
    CProfile profile;
    if (settingsIni) profile.SetProfilePath(settingsIni);
    for (const FlagKey& flag : kFlags) {
        std::wstring text = flag.defaultText;
        profile.GetString(kSection, flag.key, flag.defaultText, text);
        this->*flag.state = text == L"1";
    }
    folders.clear();
    int count = static_cast<int>(profile.GetInt(kSection, L"FolderCount", 0));
    if (count > kMaxSearchFolders) count = kMaxSearchFolders;
    for (int n = 1; n <= count; ++n) {
        std::wstring folder;
        profile.GetString(kSection, NumberedKey(L"Folder", n).c_str(), L"", folder);
        // A missing key within the count names no folder; listing it empty
        // would only give the user a line to delete.
        if (!folder.empty()) folders.push_back(folder);
    }
}

void CSettingsModel::LoadExtensionSettingsFrom(const wchar_t* deviceIni) {
    pairs.clear();
    if (!deviceIni) return;
    CProfile profile;
    profile.SetProfilePath(deviceIni);
    int count = static_cast<int>(profile.GetInt(kSection, L"ExtCount", 0));
    // Empty entries are skipped, so a damaged count of two thousand million
    // would keep the dialog reading for hours.
    if (count > kMaxExtensionPairs) count = kMaxExtensionPairs;
    for (int n = 1; n <= count; ++n) {
        std::wstring extension;
        profile.GetString(kSection, NumberedKey(L"Ext", n).c_str(), L"", extension);
        if (extension.empty()) continue;
        std::wstring destination;
        profile.GetString(kSection, NumberedKey(L"Path", n).c_str(), L"", destination);
        CExtensionPair pair = {UnquoteSpaces(extension), UnquoteSpaces(destination)};
        if (pair.extension.size() > kMaxPairText || pair.destination.size() > kMaxPairText) continue;
        pairs.push_back(pair);
    }
}

bool CSettingsModel::SaveFolderSettingsTo(const wchar_t* settingsIni) const {
    CProfile profile;
    if (settingsIni) profile.SetProfilePath(settingsIni);
    if (!PrepareUnicodeFile(profile)) return false;
    bool ok = true;
    for (const FlagKey& flag : kFlags) {
        ok = profile.WriteString(kSection, flag.key, this->*flag.state ? L"1" : L"0") == S_OK && ok;
    }
    int count = static_cast<int>(folders.size() > kMaxSearchFolders ? kMaxSearchFolders : folders.size());
    ok = profile.WriteString(kSection, L"FolderCount", std::to_wstring(count).c_str()) == S_OK && ok;
    for (int n = 1; n <= count; ++n) {
        ok = profile.WriteString(kSection, NumberedKey(L"Folder", n).c_str(), Quoted(folders[n - 1]).c_str()) == S_OK &&
             ok;
    }
    return ok;
}

bool CSettingsModel::SaveExtensionSettingsTo(const wchar_t* deviceIni, const wchar_t* computerCopy) const {
    CProfile profile;
    if (deviceIni) profile.SetProfilePath(deviceIni);
    if (!PrepareUnicodeFile(profile)) return false;
    bool ok = profile.WriteString(kSection, L"ExtCount", std::to_wstring(pairs.size()).c_str()) == S_OK;
    int n = 1;
    for (const CExtensionPair& pair : pairs) {
        ok = profile.WriteString(kSection, NumberedKey(L"Ext", n).c_str(), Quoted(pair.extension).c_str()) == S_OK &&
             ok;
        ok = profile.WriteString(kSection, NumberedKey(L"Path", n).c_str(), Quoted(pair.destination).c_str()) ==
                 S_OK &&
             ok;
        ++n;
    }
    if (computerCopy) ok = ::CopyFileW(deviceIni, computerCopy, FALSE) && ok;
    return ok;
}

void CSettingsModel::LoadFolderSettings() {
    std::wstring path;
    LoadFolderSettingsFrom(GetSettingsIniPath(path) ? path.c_str() : nullptr);
}

void CSettingsModel::LoadExtensionSettings() {
    std::wstring path;
    if (GetDeviceIniPath(0, path) || GetDeviceIniPath(1, path)) {
        LoadExtensionSettingsFrom(path.c_str());
    } else {
        pairs.clear();
    }
}

bool CSettingsModel::SaveFolderSettings() const {
    std::wstring path;
    return SaveFolderSettingsTo(GetSettingsIniPath(path) ? path.c_str() : nullptr);
}

bool CSettingsModel::SaveExtensionSettings() const {
    std::wstring deviceIni, computerCopy;
    bool haveDevice = GetDeviceIniPath(0, deviceIni);
    bool haveCopy = GetDeviceIniPath(1, computerCopy);
    return SaveExtensionSettingsTo(haveDevice ? deviceIni.c_str() : nullptr, haveCopy ? computerCopy.c_str() : nullptr);
}
