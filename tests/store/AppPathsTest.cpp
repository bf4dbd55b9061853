// Runs from the player drive E: (the store takes the drive of its own program
// for the player), with the user's real application data. The end-to-end tests
// start from a player this computer already knows; here a new one.

#include "StoreTestSupport.h"
#include "foundation/Application.h"
#include "store/AppPaths.h"
#include "store/Settings.h"

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

TEST(AppPaths, ANewPlayerItsSettingsAndTheirPerComputerCopy) {
    wchar_t appData[MAX_PATH + 1];
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE));
    DeleteTree(L"E:\\Quavercart"), DeleteTree(Join(appData, L"Quavercart"));
    int first = -1;
    ASSERT_TRUE(InitDeviceIdentity(first) && first == 1) << "a new player";
    EXPECT_EQ(1, InitDeviceSettings());
    const std::string id = Bytes(L"E:\\Quavercart\\device.id");
    std::wstring identity;
    ASSERT_TRUE(id.size() == 16 && ReadDeviceId(identity));
    const std::wstring computer = Join(Join(appData, L"Quavercart"), identity), ini = L"E:\\Quavercart\\Quavercart.ini";
    EXPECT_EQ(WithMark(L"[Settings]\r\nExtCount=2\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\"wma\"\r\nPath2=\"Music\"\r\n"
                       L"[DiskSpace]\r\nSizeType=2\r\nMargin=20\r\n"),
              Bytes(ini));
    EXPECT_TRUE(InitDeviceIdentity(first) && first == 0 && InitDeviceSettings() == 0) << "second start";

    // The settings dialog's OK: the copy equals the player's file, and comes
    // back when the player's is lost.
    CSettingsModel model;
    model.pairs = {{L"ogg", L"Music\\\x30ed\x30c3\x30af"}};
    EXPECT_TRUE(model.SaveExtensionSettings());
    const std::string saved = Bytes(ini);
    EXPECT_TRUE(Bytes(Join(computer, L"Quavercart.ini")) == saved && ::DeleteFileW(ini.c_str()));
    EXPECT_TRUE(InitDeviceSettings() == 0 && Bytes(ini) == saved);

    // Another account, or the per-computer folder removed: a first contact again.
    ASSERT_TRUE(DeleteTree(computer));
    EXPECT_TRUE(InitDeviceIdentity(first) && first == 1 && ::PathIsDirectoryW(computer.c_str()));
}

bool FailingUuid(BYTE (&)[16]) { return false; }

// No identity made: its box ends the start and no device.id stays, since an
// empty one would be read as an identity at every later start. An unreadable
// identity is the end-to-end fault test's.
TEST(AppPaths, AFailedIdentityShowsItsBoxAndLeavesNoFile) {
    const std::wstring folder = FreshFolder(L"qc-identity-test"), root = Join(folder, L"player\\");
    bool result = true;
    int first = 0;
    BoxSeen box = RunAnsweringMessageBox(
        [&] { result = InitDeviceIdentityAt(root.c_str(), Join(folder, L"data").c_str(), first, FailingUuid); });
    EXPECT_FALSE(result);
    EXPECT_EQ(L"Error|Failed to create the file. \nFile name: device.id", box.caption + L"|" + box.text);
    EXPECT_FALSE(FileExists(Join(root, L"Quavercart\\device.id")));
    EXPECT_EQ(0, SetMsgBoxFlg) << "the box counter back at 0";
    DeleteTree(folder);
}

} // namespace
