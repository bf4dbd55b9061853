#include "StoreTestSupport.h"
#include "foundation/Application.h"
#include "store/AppPaths.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

using namespace qctest;
using namespace storetest;

namespace {

class IdentityTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = FreshFolder(L"qc-identity-test");
        root = Join(folder, L"player\\");
        appData = Join(folder, L"appdata");
        ASSERT_TRUE(MakeDirs(root) && MakeDirs(appData));
    }
    void TearDown() override { DeleteTree(folder); }

    std::wstring IdFile() const { return Join(root, L"Quavercart\\device.id"); }
    std::wstring ComputerFolder(const std::wstring& data) const {
        std::wstring identity;
        ReadDeviceIdAt(root.c_str(), identity);
        return Join(Join(data, L"Quavercart"), identity);
    }

    std::wstring folder, root, appData;
};

bool FailingUuid(BYTE (&)[16]) { return false; }

TEST_F(IdentityTest, IdentityTextFromTheFileBytes) {
    struct Case {
        const char* name;
        std::string bytes;
        const wchar_t* text;
    } cases[] = {
        {"00 11 .. FF", std::string("\x00\x11\x22\x33\x44\x55\x66\x77\x88\x99\xAA\xBB\xCC\xDD\xEE\xFF", 16),
         L"{00112233-4455-6677-8899-aabbccddeeff}"},
        {"short file", std::string("\x01\x02\x03", 3), L"{01020300-0000-0000-0000-000000000000}"},
        {"empty file", std::string(), L"{00000000-0000-0000-0000-000000000000}"},
        {"longer file", std::string(16, '\xA5') + "tail", L"{a5a5a5a5-a5a5-a5a5-a5a5-a5a5a5a5a5a5}"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(IdFile(), c.bytes)) << c.name;
        std::wstring out = L"prefix";
        EXPECT_TRUE(ReadDeviceIdAt(root.c_str(), out)) << c.name;
        EXPECT_EQ(std::wstring(L"prefix") + c.text, out) << c.name << ": appended";
    }
    ::DeleteFileW(IdFile().c_str());
    std::wstring out = L"kept";
    EXPECT_FALSE(ReadDeviceIdAt(root.c_str(), out));
    EXPECT_EQ(L"kept", out);
}

TEST_F(IdentityTest, StartsOnEachAccount) {
    const std::wstring otherAccount = Join(folder, L"other account");
    const wchar_t *r = root.c_str(), *data = appData.c_str(), *other = otherAccount.c_str();
    struct Case {
        const char* name;
        std::function<void()> prepare;
        const wchar_t *root, *appData;
        bool result;
        int first;
    } cases[] = {
        {"first start", [] {}, r, data, true, 1},
        {"second start", [] {}, r, data, true, 0},
        {"another account", [] {}, r, other, true, 1},
        {"per-computer folder removed", [&] { DeleteTree(ComputerFolder(appData)); }, r, data, true, 1},
        {"no root: start-up goes on", [] {}, nullptr, data, true, 0},
        {"known identity without application data", [] {}, r, nullptr, true, 0},
        {"new identity without application data", [&] { DeleteTree(Join(root, L"Quavercart")); }, r, nullptr, false, 1},
    };
    std::string identity;
    for (const Case& c : cases) {
        c.prepare();
        int first = -1;
        bool result = false;
        BoxSeen box = RunAnsweringMessageBox([&] { result = InitDeviceIdentityAt(c.root, c.appData, first); });
        EXPECT_FALSE(box.shown) << c.name << ": " << Narrow(box.text);
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(c.first, first) << c.name;
        std::string bytes;
        EXPECT_TRUE(ReadBytes(IdFile(), bytes) && bytes.size() == 16) << c.name;
        if (identity.empty()) identity = bytes;
        // A new identity is only made when the file was deleted.
        if (c.result) {
            EXPECT_EQ(identity, bytes) << c.name << ": the identity is never rewritten";
        }
        if (c.appData) {
            EXPECT_TRUE(::PathIsDirectoryW(ComputerFolder(c.appData).c_str())) << c.name;
        }
    }
    EXPECT_EQ(4, identity[6] >> 4) << "a random (version 4) UUID in RFC 4122 byte order";

    // The computer paths themselves are checked from the player (StoreOnPlayerTest).
    std::wstring path = L"kept";
    EXPECT_FALSE(ComputerPathAt(root.c_str(), nullptr, kSettingsIniName, path));
    EXPECT_EQ(L"kept", path);
}

TEST_F(IdentityTest, FailuresShowTheirMessageAndEndTheStart) {
    const wchar_t* createFailed = L"Failed to create the file. \nFile name: device.id";
    struct Case {
        const char* name;
        std::function<void()> prepare;
        UuidMaker maker;
        const wchar_t* text;
        bool idFileLeft;
    } cases[] = {
        {"no UUID", [] {}, FailingUuid, createFailed, false},
        {"player folder blocked by a file", [this] { WriteBytes(Join(root, L"Quavercart"), "x"); }, CreateUuid,
         createFailed, false},
        {"identity unreadable", [this] { MakeDirs(IdFile()); }, CreateUuid,
         L"Failed to read the file. \nFile name: device.id", true},
    };
    for (const Case& c : cases) {
        DeleteTree(Join(root, L"Quavercart"));
        ::DeleteFileW(Join(root, L"Quavercart").c_str());
        c.prepare();
        int first = -1;
        bool result = true;
        BoxSeen box = RunAnsweringMessageBox([&] { result = InitDeviceIdentityAt(root.c_str(), appData.c_str(), first, c.maker); });
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(L"Error|" + std::wstring(c.text), box.caption + L"|" + box.text) << c.name;
        EXPECT_EQ(c.idFileLeft, FileExists(IdFile())) << c.name << ": no empty identity stays behind";
        EXPECT_EQ(0, SetMsgBoxFlg) << c.name << ": the box was counted up and down";
    }
}

TEST_F(IdentityTest, DeviceSettingsDefaultsAndRestore) {
    int first = 0;
    ASSERT_TRUE(InitDeviceIdentityAt(root.c_str(), appData.c_str(), first));
    std::wstring deviceIni = DeviceIniPathAt(root.c_str()), copy;
    ASSERT_TRUE(ComputerPathAt(root.c_str(), appData.c_str(), kDeviceIniName, copy));

    EXPECT_EQ(1, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str()));
    EXPECT_FALSE(FileExists(copy)) << "the copy is made by saving only";
    std::string bytes, again;
    ASSERT_TRUE(ReadBytes(deviceIni, bytes));
    EXPECT_EQ(0u, bytes.find("\xFF\xFE"));
    std::wstring text = Utf16LeToWide(bytes);
    for (const wchar_t* line : {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Music\"", L"Ext2=\"wma\"", L"Path2=\"Music\"",
                                L"SizeType=2", L"Margin=20", L"[Settings]", L"[DiskSpace]"}) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << Narrow(line) << " in " << Narrow(text);
    }
    EXPECT_LT(text.find(L"Path2"), text.find(L"[DiskSpace]")) << "written in order";

    EXPECT_EQ(0, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str())) << "second start";
    ASSERT_TRUE(ReadBytes(deviceIni, again));
    EXPECT_EQ(bytes, again);

    // Deleted from the player while this computer keeps a copy.
    const std::string saved = WithMark(L"[Settings]\r\nExtCount=1\r\nExt1=\"ogg\"\r\n");
    ASSERT_TRUE(WriteBytes(copy, saved) && ::DeleteFileW(deviceIni.c_str()));
    EXPECT_EQ(0, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str()));
    ASSERT_TRUE(ReadBytes(deviceIni, again));
    EXPECT_EQ(saved, again) << "restored byte for byte";

    ASSERT_TRUE(::DeleteFileW(deviceIni.c_str()));
    EXPECT_EQ(1, InitDeviceSettingsAt(deviceIni.c_str(), nullptr)) << "no copy path: defaults";
    EXPECT_EQ(0, InitDeviceSettingsAt(nullptr, copy.c_str()));
}

TEST(SpecialFolders, DesktopsMyMusicAndBadSelectors) {
    std::wstring folder = L"untouched";
    EXPECT_FALSE(GetDesktopFolder(2, folder));
    EXPECT_FALSE(GetDesktopFolder(-1, folder));
    EXPECT_FALSE(GetDeviceIniPath(2, folder));
    EXPECT_EQ(L"untouched", folder);
    wchar_t expected[MAX_PATH + 1];
    for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_MYMUSIC}) {
        ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, expected, csidl, FALSE)) << csidl;
        bool ok = csidl == CSIDL_MYMUSIC ? GetMyMusicFolder(folder) : GetDesktopFolder(csidl == CSIDL_DESKTOPDIRECTORY, folder);
        EXPECT_TRUE(ok && folder == expected) << "folder " << csidl << ": " << Narrow(folder);
    }
}

} // namespace
