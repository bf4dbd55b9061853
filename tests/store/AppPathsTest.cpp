// Runs from the player drive E: (the store takes the drive of its own program
// for the player), with the user's real application data.

#include "StoreTestSupport.h"
#include "foundation/Application.h"
#include "store/AppPaths.h"
#include "store/Settings.h"
#include "store/TransferHistory.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

using namespace qctest;
using namespace storetest;

namespace {

std::string Bytes(const std::wstring& path) {
    std::string bytes;
    return ReadBytes(path, bytes) ? bytes : "<missing>";
}

// Every path of the running player, "-" where it cannot be built.
std::wstring Paths() {
    std::wstring all, path;
    all += (GetDeviceIdPath(path) ? path : L"-") + L"|" + (GetSettingsIniPath(path) ? path : L"-") + L"|";
    all += (GetHistoryFilePath(path) ? path : L"-") + L"|" + (GetDeviceIniPath(0, path) ? path : L"-") + L"|";
    return all + (GetDeviceIniPath(1, path) ? path : L"-");
}

TEST(AppPaths, IdentityPathsSettingsAndHistoryOfTheRunningPlayer) {
    wchar_t appData[MAX_PATH + 1];
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    DeleteTree(L"E:\\Quavercart"), DeleteTree(Join(appData, L"Quavercart"));
    int first = -1;
    ASSERT_TRUE(InitDeviceIdentity(first) && first == 1) << "a new player";
    EXPECT_EQ(1, InitDeviceSettings());
    const std::string id = Bytes(L"E:\\Quavercart\\device.id");
    std::wstring identity;
    ASSERT_TRUE(id.size() == 16 && ReadDeviceId(identity));
    EXPECT_EQ(4, id[6] >> 4) << "a random (version 4) UUID in RFC 4122 byte order";
    const std::wstring computer = Join(Join(appData, L"Quavercart"), identity), ini = L"E:\\Quavercart\\Quavercart.ini";
    EXPECT_TRUE(::PathIsDirectoryW(computer.c_str())) << Narrow(computer);
    EXPECT_EQ(L"E:\\Quavercart\\device.id|" + Join(computer, L"Settings.ini") + L"|" + Join(computer, L"TransferredFiles.dat") +
                  L"|" + ini + L"|" + Join(computer, L"Quavercart.ini"),
              Paths());
    EXPECT_EQ(WithMark(L"[Settings]\r\nExtCount=2\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\"\r\n"
                       L"[DiskSpace]\r\nSizeType=2\r\nMargin=20\r\n"),
              Bytes(ini));
    EXPECT_TRUE(InitDeviceIdentity(first) && first == 0 && InitDeviceSettings() == 0) << "second start";

    // The settings dialog's OK: the copy equals the player's file, and comes
    // back when the player's is lost; the next opening reads it.
    CSettingsModel model;
    model.folders = {L"C:\\\x97f3\x697d"};
    model.pairs = {{L" ogg ", L"Music\\\x30ed\x30c3\x30af"}};
    EXPECT_TRUE(model.SaveFolderSettings() && model.SaveExtensionSettings());
    const std::string saved = Bytes(ini);
    EXPECT_TRUE(Bytes(Join(computer, L"Quavercart.ini")) == saved && ::DeleteFileW(ini.c_str()));
    EXPECT_TRUE(InitDeviceSettings() == 0 && Bytes(ini) == saved);
    model = CSettingsModel(), model.LoadFolderSettings(), model.LoadExtensionSettings();
    EXPECT_TRUE(model.folders == std::vector<std::wstring>{L"C:\\\x97f3\x697d"} && model.pairs.size() == 1 && model.pairs[0].extension == L" ogg ");
    CTransferHistory history;
    EXPECT_TRUE(AppendHistory(CTransferFile()) && history.LoadHistoryFile() && history.Size() == 1);

    // Another account, or the per-computer folder removed: a first contact again.
    ASSERT_TRUE(DeleteTree(computer));
    EXPECT_TRUE(InitDeviceIdentity(first) && first == 1 && ::PathIsDirectoryW(computer.c_str()));
    // The player gone: every path that needs the identity fails.
    ASSERT_TRUE(DeleteTree(L"E:\\Quavercart"));
    EXPECT_EQ(L"E:\\Quavercart\\device.id|-|-|" + ini + L"|-", Paths());
}

bool FailingUuid(BYTE (&)[16]) { return false; }

TEST(AppPaths, IdentityFailuresShowTheirBoxAndEndTheStart) {
    const std::wstring folder = FreshFolder(L"qc-identity-test"), root = Join(folder, L"player\\"), data = Join(folder, L"data");
    const std::wstring idFolder = Join(root, L"Quavercart"), idFile = Join(idFolder, L"device.id");
    // Each case: the result, the box's caption and text, whether device.id
    // stays (never empty), and the box counter back at 0.
    const std::wstring createFailed = L"0|Error|Failed to create the file. \nFile name: device.id|";
    const struct {
        const char* name;
        std::function<void()> prepare;
        UuidMaker maker;
        const wchar_t* appData;
        std::wstring outcome;
    } cases[] = {
        {"no UUID", [] {}, FailingUuid, data.c_str(), createFailed + L"00"},
        {"player folder blocked by a file", [&] { WriteBytes(idFolder, "x"); }, CreateUuid, data.c_str(), createFailed + L"00"},
        {"identity unreadable", [&] { MakeDirs(idFile); }, CreateUuid, data.c_str(), L"0|Error|Failed to read the file. \nFile name: device.id|10"},
        {"new identity without application data", [] {}, CreateUuid, nullptr, L"0|||10"},
    };
    for (const auto& c : cases) {
        DeleteTree(idFolder), ::DeleteFileW(idFolder.c_str()), c.prepare();
        bool result = true;
        int first = 0;
        BoxSeen box = RunAnsweringMessageBox([&] { result = InitDeviceIdentityAt(root.c_str(), c.appData, first, c.maker); });
        EXPECT_EQ(c.outcome, std::to_wstring(result) + L"|" + box.caption + L"|" + box.text + L"|" +
                                 std::to_wstring(FileExists(idFile)) + std::to_wstring(SetMsgBoxFlg)) << c.name;
    }
    int first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), nullptr, first) && first == 0) << "a known identity without application data";
    DeleteTree(folder);
}

} // namespace
