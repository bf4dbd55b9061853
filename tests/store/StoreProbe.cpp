// Runs the store's operations as the program does, from wherever it was
// started (the tests copy it onto the player), and writes what it saw to
// probe-report.txt beside itself: one UTF-16LE "key=value" line each.
//   probe init     identity and device settings of the start-up
//   probe save     saves a folder list and extension pairs
//   probe load     loads them back
//   probe history  appends one line and loads the history

#include "foundation/Application.h"
#include "foundation/Handle.h"
#include "store/AppPaths.h"
#include "store/Settings.h"
#include "store/TransferHistory.h"

#include <shlwapi.h>
#include <string>

int wmain(int argc, wchar_t** argv) {
    CApplication::Init(::GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWNORMAL);
    std::wstring action = argc > 1 ? argv[1] : L"init", report;
    auto put = [&report](const std::wstring& key, const std::wstring& value) { report += key + L"=" + value + L"\r\n"; };
    auto bit = [](bool b) { return std::wstring(b ? L"1" : L"0"); };
    CSettingsModel model;
    if (action == L"init") {
        int first = -1;
        put(L"identityOk", bit(InitDeviceIdentity(first)));
        put(L"first", std::to_wstring(first));
        put(L"settingsCreated", std::to_wstring(InitDeviceSettings()));
    } else if (action == L"save") {
        model.myMusic = model.selectedFolders = true;
        model.allFolders = model.deskTop = false;
        model.folders = {L"C:\\My Songs", L"C:\\\x97f3\x697d"};
        model.pairs = {{L"mp3", L"Music"}, {L"ogg", L"Music\\Ogg"}};
        put(L"foldersSaved", bit(model.SaveFolderSettings()));
        put(L"pairsSaved", bit(model.SaveExtensionSettings()));
    } else if (action == L"load") {
        model.LoadFolderSettings();
        model.LoadExtensionSettings();
        put(L"flags", bit(model.allFolders) + bit(model.myMusic) + bit(model.deskTop) + bit(model.selectedFolders));
        for (size_t i = 0; i < model.folders.size(); ++i) put(L"folder" + std::to_wstring(i + 1), model.folders[i]);
        for (size_t i = 0; i < model.pairs.size(); ++i) {
            put(L"pair" + std::to_wstring(i + 1), model.pairs[i].extension + L">" + model.pairs[i].destination);
        }
    } else if (action == L"history") {
        CTransferFile record;
        record.SetTimeStamp(L"20070314093005");
        record.SetFileSize(4194304);
        record.SetPath(L"C:\\Data\\Music\\Artist\\song.mp3");
        put(L"appended", bit(AppendHistory(record)));
        CTransferHistory history;
        put(L"loaded", bit(history.LoadHistoryFile()));
        put(L"entries", std::to_wstring(history.Size()));
    }

    std::wstring path, identity;
    put(L"deviceIdPath", GetDeviceIdPath(path) ? path : L"<failed>");
    put(L"identity", ReadDeviceId(identity) ? identity : L"<failed>");
    put(L"settingsIni", GetSettingsIniPath(path) ? path : L"<failed>");
    put(L"historyFile", GetHistoryFilePath(path) ? path : L"<failed>");
    put(L"deviceIni0", GetDeviceIniPath(0, path) ? path : L"<failed>");
    put(L"deviceIni1", GetDeviceIniPath(1, path) ? path : L"<failed>");

    wchar_t file[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, file, MAX_PATH + 1);
    ::PathRemoveFileSpecW(file);
    ::PathAppendW(file, L"probe-report.txt");
    CHandle out(::CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return out && ::WriteFile(out.Get(), report.data(), static_cast<DWORD>(report.size() * 2), &written, nullptr) ? 0 : 2;
}
