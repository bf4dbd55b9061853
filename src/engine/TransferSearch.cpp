#include "engine/TransferThread.h"

#include "engine/TimeStamp.h"
#include "foundation/Profile.h"
#include "foundation/SysQuery.h"
#include "resource.h"
#include "store/AppPaths.h"

#include <memory>
#include <shlwapi.h>

namespace {

const wchar_t kSettingsSection[] = L"Settings";
const wchar_t kDiskSpaceSection[] = L"DiskSpace";

std::wstring WithBackslash(std::wstring path) {
    if (path.empty() || path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring Unquoted(const std::wstring& value) {
    wchar_t buffer[MAX_PATH + 1];
    ::lstrcpynW(buffer, value.c_str(), MAX_PATH + 1);
    ::PathUnquoteSpacesW(buffer);
    return buffer;
}

bool PlayerRoot(wchar_t (&root)[MAX_PATH + 1]) {
    if (!GetDeviceRoot(root)) {
        root[0] = L'\0';
        return false;
    }
    return true;
}

// The player's settings file, or its per-computer copy when the first path
// cannot be built.
bool DeviceIniProfile(CProfile& profile) {
    std::wstring path;
    if (!GetDeviceIniPath(0, path) && !GetDeviceIniPath(1, path)) return false;
    profile.SetProfilePath(path.c_str());
    return true;
}

// A UTF-16 file cut in the middle of a character. The platform writes such a
// file back with that character completed by a stray byte, turning the user's
// last value into another one.
bool IsTornUnicodeFile(const std::wstring& path) {
    CSysFile file;
    file.SetPath(path.c_str());
    ULONGLONG size = 0;
    BYTE mark[2] = {0, 0};
    DWORD read = 0;
    if (FAILED(file.GetSize(size)) || size % 2 == 0 || FAILED(file.Open(GENERIC_READ, OPEN_EXISTING))) return false;
    file.Read(2, read, mark);
    return read == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
}

bool IsHiddenOrSystem(DWORD attributes) {
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

} // namespace

UINT CTransferThread::QueryDriveStrings(wchar_t* buffer) { return GetDriveStrings(buffer); }

UINT CTransferThread::QueryDriveKind(const wchar_t* root) { return GetDriveKind(root); }

bool CTransferThread::SearchFiles() {
    if (IsStopRequested()) return false;
    if (!BuildSearchRoots()) return false;
    if (!LoadHistory()) return false;
    if (IsStopRequested()) return false;
    for (const std::wstring& root : m_searchRoots) {
        m_currentRoot = root;
        if (!ScanFolder(root)) return false;
    }
    return true;
}

bool CTransferThread::BuildSearchRoots() {
    if (IsStopRequested()) return false;
    std::wstring settingsPath;
    if (!GetSettingsIniPath(settingsPath)) {
        m_errorFlg = 1;
        return false;
    }
    CProfile settings;
    settings.SetProfilePath(settingsPath.c_str());

    wchar_t playerRoot[MAX_PATH + 1];
    if (settings.GetInt(kSettingsSection, L"AllFolders", 0) != 0) {
        wchar_t drives[256] = L"";
        UINT length = QueryDriveStrings(drives);
        if (length > 255) length = 0;
        PlayerRoot(playerRoot);
        const wchar_t* start = drives;
        for (UINT i = 0; i <= length; ++i) {
            if (IsStopRequested()) return false;
            if (i < length && drives[i] != L'\0') continue;
            if (start[0] == L'\0') break;
            if (::lstrcmpiW(start, L"A:\\") != 0 && ::lstrcmpiW(start, L"B:\\") != 0 &&
                ::lstrcmpiW(start, playerRoot) != 0) {
                m_searchRoots.push_back(start);
            }
            start = drives + i + 1;
        }
        for (auto it = m_searchRoots.begin(); it != m_searchRoots.end();) {
            if (IsStopRequested()) return false;
            UINT kind = QueryDriveKind(it->c_str());
            if (kind > DRIVE_RAMDISK) {
                m_errorFlg = 1;
                return false;
            }
            // Unknown kinds, missing roots and drives without a medium are left out.
            bool keep = kind >= DRIVE_REMOVABLE && ::PathIsDirectoryW(it->c_str());
            it = keep ? it + 1 : m_searchRoots.erase(it);
        }
    }
    std::wstring folder;
    if (settings.GetInt(kSettingsSection, L"MyMusic", 0) != 0 && GetMyMusicFolder(folder)) {
        m_searchRoots.push_back(folder);
    }
    if (settings.GetInt(kSettingsSection, L"DeskTop", 0) != 0) {
        if (GetDesktopFolder(1, folder)) m_searchRoots.push_back(folder);
        if (GetDesktopFolder(0, folder)) m_searchRoots.push_back(folder);
    }
    if (settings.GetInt(kSettingsSection, L"SelectedFolders", 0) != 0) {
        UINT count = settings.GetInt(kSettingsSection, L"FolderCount", 0);
        PlayerRoot(playerRoot);
        for (UINT n = 1; n <= count && n <= 999; ++n) {
            if (IsStopRequested()) return false;
            wchar_t key[32];
            ::wsprintfW(key, L"Folder%u", n);
            std::wstring value;
            settings.GetString(kSettingsSection, key, L"", value);
            if (value.empty() || value.size() > MAX_PATH || !::PathIsDirectoryW(value.c_str())) continue;
            // The file layer takes drive paths only: a network folder would give
            // one failure box per song on every transfer. The settings dialog
            // refuses such folders too.
            if (value.size() < 2 || value[1] != L':') continue;
            wchar_t root[MAX_PATH + 1];
            ::lstrcpynW(root, value.c_str(), MAX_PATH + 1);
            ::PathStripToRootW(root);
            if (::lstrcmpiW(root, playerRoot) == 0) continue;
            m_searchRoots.push_back(value);
        }
    }
    if (!LoadExtensionTable()) return false;
    return LoadCapacitySettings();
}

bool CTransferThread::LoadExtensionTable() {
    if (IsStopRequested()) return false;
    wchar_t playerRoot[MAX_PATH + 1];
    PlayerRoot(playerRoot);
    ::PathAddBackslashW(playerRoot);
    CProfile device;
    if (!DeviceIniProfile(device)) {
        m_errorFlg = 1;
        return false;
    }
    UINT count = device.GetInt(kSettingsSection, L"ExtCount", 0);
    for (UINT n = 1; n <= count; ++n) {
        if (IsStopRequested()) return false;
        wchar_t key[32];
        ::wsprintfW(key, L"Ext%u", n);
        std::wstring extension;
        device.GetString(kSettingsSection, key, L"", extension);
        if (extension.empty()) {
            m_errorFlg = 1;
            return false;
        }
        wchar_t dotted[MAX_PATH + 2] = L".";
        ::lstrcpynW(dotted + 1, Unquoted(extension).c_str(), MAX_PATH + 1);
        ::CharLowerW(dotted);
        ::wsprintfW(key, L"Path%u", n);
        std::wstring path;
        device.GetString(kSettingsSection, key, L"", path);
        std::wstring destination = WithBackslash(playerRoot + Unquoted(path));
        m_extensionTable.emplace(dotted, destination);  // the first pair of an extension wins
    }
    return true;
}

bool CTransferThread::LoadCapacitySettings() {
    CProfile device;
    if (!DeviceIniProfile(device)) {
        m_errorFlg = 1;
        return false;
    }
    wchar_t text[16];
    const bool writeBack = !IsTornUnicodeFile(device.GetProfilePath());
    UINT sizeType = device.GetInt(kDiskSpaceSection, L"SizeType", 2);
    ::wsprintfW(text, L"%u", sizeType);
    if (writeBack) device.WriteString(kDiskSpaceSection, L"SizeType", text);
    UINT margin = device.GetInt(kDiskSpaceSection, L"Margin", 20);
    ::wsprintfW(text, L"%u", margin);
    if (writeBack) device.WriteString(kDiskSpaceSection, L"Margin", text);
    SetFreeSpaceMargin(sizeType, margin);
    return true;
}

bool CTransferThread::LoadHistory() {
    // A path that cannot be built stays empty, and every use of it fails.
    m_historyPath.clear();
    GetHistoryFilePath(m_historyPath);
    if (m_history.LoadHistoryFileAt(m_historyPath.c_str())) {
        IndexHistory();
        return true;
    }
    ShowMessageBox(IDS_READ_FAILED, kHistoryFileName);
    m_errorFlg = 1;
    return false;
}

void CTransferThread::IndexHistory() {
    m_historyIndex.Build(m_history.GetEntries());
}

bool CTransferThread::ScanFolder(std::wstring folder) {
    // One level per open folder, kept on the heap: a chain of more than a
    // hundred short folder names must not exhaust the worker's stack.
    struct Level {
        CFindHandle find;
        std::wstring prefix;
        WIN32_FIND_DATAW entry;
        bool pending;  // entry holds the first result, not yet handled
    };
    std::vector<std::unique_ptr<Level>> levels;
    auto enter = [&](const std::wstring& path) {
        auto level = std::make_unique<Level>();
        level->prefix = WithBackslash(path);
        std::wstring pattern = level->prefix + L"*";
        if (pattern.size() < MAX_PATH) level->find.Reset(::FindFirstFileW(pattern.c_str(), &level->entry));
        if (!level->find) {
            PostLogLine(0, IDS_LINE_READ_FAILED, path);
            return;
        }
        level->pending = true;
        levels.push_back(std::move(level));
    };

    CTransferFile probe;
    std::wstring path, stamp;
    wchar_t stampBuffer[kTimeStampChars + 1];
    TIME_ZONE_INFORMATION zoneRules;
    const TIME_ZONE_INFORMATION* zone =
        ::GetTimeZoneInformation(&zoneRules) != TIME_ZONE_ID_INVALID ? &zoneRules : nullptr;
    enter(folder);
    while (!levels.empty()) {
        Level& level = *levels.back();
        if (!level.pending && !::FindNextFileW(level.find.Get(), &level.entry)) {
            levels.pop_back();
            continue;
        }
        level.pending = false;
        if (IsStopRequested()) return false;
        const WIN32_FIND_DATAW& entry = level.entry;
        if (IsHiddenOrSystem(entry.dwFileAttributes)) continue;
        const wchar_t* name = entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (::lstrcmpW(name, L".") == 0 || ::lstrcmpW(name, L"..") == 0) continue;
            enter(level.prefix + name);
            continue;
        }
        if (!IsTransferTarget(name)) continue;
        if (level.prefix.size() + ::lstrlenW(name) + 1 > MAX_PATH) {
            PostLogLine(0, IDS_LINE_READ_FAILED, level.prefix + name);
            continue;
        }
        path.assign(level.prefix).append(name);
        const ULONGLONG size = (static_cast<ULONGLONG>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        MakeTimeStampText(entry.ftLastWriteTime, stampBuffer, zone);
        stamp.assign(stampBuffer);
        // Most files of an incremental transfer are in the history: settle
        // those on a reused record, before anything is allocated or joined.
        probe.SetPath(path.c_str());
        probe.SetFileSize(size);
        probe.SetTimeStamp(stamp);
        if (m_historyIndex.Find(probe)) {
            if (IsStopRequested()) return false;
            continue;
        }
        auto record = std::make_unique<CTransferFile>();
        record->SetPath(path.c_str());
        record->SetFileSize(size);
        record->SetTimeStamp(stamp);
        record->SetDestPath(GetDestinationPath(path));
        if (IsKnownCandidate(*record)) {
            if (IsStopRequested()) return false;
            continue;
        }
        AddCandidate(record.release());
        if (IsStopRequested()) return false;
    }
    return true;
}

bool CTransferThread::IsTransferTarget(const wchar_t* name) const {
    wchar_t extension[MAX_PATH + 1];
    ::lstrcpynW(extension, ::PathFindExtensionW(name), MAX_PATH + 1);
    if (extension[0] == L'\0') return false;
    ::CharLowerW(extension);
    return m_extensionTable.count(extension) != 0;
}

std::wstring CTransferThread::GetDestinationPath(const std::wstring& sourcePath) const {
    wchar_t extension[MAX_PATH + 1];
    ::lstrcpynW(extension, ::PathFindExtensionW(sourcePath.c_str()), MAX_PATH + 1);
    ::CharLowerW(extension);
    auto found = m_extensionTable.find(extension);
    if (extension[0] == L'\0' || found == m_extensionTable.end()) return std::wstring();
    std::wstring rest = sourcePath.size() > m_currentRoot.size() ? sourcePath.substr(m_currentRoot.size()) : L"";
    wchar_t joined[MAX_PATH + 1];
    if (found->second.size() > MAX_PATH) return std::wstring();
    ::lstrcpynW(joined, found->second.c_str(), MAX_PATH + 1);
    if (!::PathAppendW(joined, rest.c_str())) return std::wstring();
    return joined;
}

bool CTransferThread::IsKnownCandidate(const CTransferFile& record) {
    if (IsStopRequested()) return true;
    if (m_historyIndex.Find(record)) return true;
    if (IsStopRequested()) return false;
    auto range = m_candidateIndex.equal_range(HashFileIdentity(record));
    for (auto it = range.first; it != range.second; ++it) {
        CTransferFile* known = it->second->second;
        if (!IsSameFile(*known, record)) continue;
        // Reached again through an overlapping root: the shorter destination
        // wins; on equal length the record found first stays.
        if (known->GetDestPath().size() <= record.GetDestPath().size()) return true;
        m_candidates.erase(it->second);
        m_candidateIndex.erase(it);
        delete known;
        return false;
    }
    return false;
}

bool CTransferThread::AddCandidate(CTransferFile* record) {
    auto position = m_candidates.emplace(record->GetTimeStamp(), record);
    m_candidateIndex.emplace(HashFileIdentity(*record), position);
    return true;
}
