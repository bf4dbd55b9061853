// Runs the store's operations as the program does, from wherever it was
// started (the tests copy it onto the player), and writes what it saw to
// probe-report.txt beside itself: one UTF-16LE "key=value" line each.
//   probe init     identity and device settings of the start-up
//   probe save     saves a folder list and extension pairs
//   probe load     loads them back
//   probe history  appends one line and loads the history

#include "foundation/Application.h"
#include "store/AppPaths.h"
#include "store/Settings.h"
#include "store/TransferHistory.h"

#include <shlwapi.h>
#include <string>

namespace {

std::wstring g_report;

void Put(const wchar_t* key, const std::wstring& value) {
    g_report += key;
    g_report += L'=';
    g_report += value;
    g_report += L"\r\n";
}
void Put(const wchar_t* key, long long value) { Put(key, std::to_wstring(value)); }

void PutPath(const wchar_t* key, bool ok, const std::wstring& path) { Put(key, ok ? path : L"<failed>"); }

} // namespace

int wmain(int argc, wchar_t** argv) {
    CApplication::Init(::GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWNORMAL);
    std::wstring action = argc > 1 ? argv[1] : L"init";

    if (action == L"init") {
        int first = -1;
        Put(L"identityOk", InitDeviceIdentity(first) ? 1 : 0);
        Put(L"first", first);
        Put(L"settingsCreated", InitDeviceSettings());
    } else if (action == L"save") {
        CSettingsModel model;
        model.allFolders = false;
        model.myMusic = true;
        model.deskTop = false;
        model.selectedFolders = true;
        model.folders = {L"C:\\My Songs", L"C:\\\x97f3\x697d"};
        model.pairs = {{L"mp3", L"Music"}, {L"ogg", L"Music\\Ogg"}};
        Put(L"foldersSaved", model.SaveFolderSettings() ? 1 : 0);
        Put(L"pairsSaved", model.SaveExtensionSettings() ? 1 : 0);
    } else if (action == L"load") {
        CSettingsModel model;
        model.LoadFolderSettings();
        model.LoadExtensionSettings();
        Put(L"flags", std::to_wstring(model.allFolders) + std::to_wstring(model.myMusic) +
                          std::to_wstring(model.deskTop) + std::to_wstring(model.selectedFolders));
        for (size_t i = 0; i < model.folders.size(); ++i) Put((L"folder" + std::to_wstring(i + 1)).c_str(), model.folders[i]);
        for (size_t i = 0; i < model.pairs.size(); ++i) {
            Put((L"pair" + std::to_wstring(i + 1)).c_str(), model.pairs[i].extension + L">" + model.pairs[i].destination);
        }
    } else if (action == L"history") {
        CTransferFile record;
        record.SetTimeStamp(L"20070314093005");
        record.SetFileSize(4194304);
        record.SetPath(L"C:\\Data\\Music\\Artist\\song.mp3");
        Put(L"appended", AppendHistory(record) ? 1 : 0);
        CTransferHistory history;
        Put(L"loaded", history.LoadHistoryFile() ? 1 : 0);
        Put(L"entries", static_cast<long long>(history.Size()));
    }

    std::wstring path;
    PutPath(L"deviceIdPath", GetDeviceIdPath(path), path);
    std::wstring identity = L"";
    PutPath(L"identity", ReadDeviceId(identity), identity);
    PutPath(L"settingsIni", GetSettingsIniPath(path), path);
    PutPath(L"historyFile", GetHistoryFilePath(path), path);
    PutPath(L"deviceIni0", GetDeviceIniPath(0, path), path);
    PutPath(L"deviceIni1", GetDeviceIniPath(1, path), path);

    wchar_t report[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, report, MAX_PATH + 1);
    ::PathRemoveFileSpecW(report);
    ::PathAppendW(report, L"probe-report.txt");
    HANDLE file = ::CreateFileW(report, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    ::WriteFile(file, g_report.data(), static_cast<DWORD>(g_report.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
