#include "StoreTestSupport.h"
#include "foundation/Application.h"
#include "foundation/Profile.h"
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
        ASSERT_TRUE(MakeDirs(root));
        ASSERT_TRUE(MakeDirs(appData));
    }
    void TearDown() override { DeleteTree(folder); }

    std::wstring IdFile() const { return Join(root, L"Quavercart\\device.id"); }
    std::wstring ComputerFolder(const std::wstring& data, const std::wstring& identity) const {
        return Join(Join(data, L"Quavercart"), identity);
    }
    std::wstring Identity() const {
        std::wstring text;
        ReadDeviceIdAt(root.c_str(), text);
        return text;
    }

    std::wstring folder, root, appData;
};

std::wstring HexText(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::wstring text = L"{";
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += L'-';
        unsigned char b = i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
        text += static_cast<wchar_t>(digits[b >> 4]);
        text += static_cast<wchar_t>(digits[b & 15]);
    }
    return text + L"}";
}

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

TEST_F(IdentityTest, FirstStartSecondStartAndASecondAccount) {
    int first = -1;
    BoxSeen box = RunAnsweringMessageBox([&] { EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), appData.c_str(), first)); });
    EXPECT_FALSE(box.shown) << Narrow(box.text);
    EXPECT_EQ(1, first);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(IdFile(), bytes));
    ASSERT_EQ(16u, bytes.size());
    std::wstring identity = Identity();
    EXPECT_EQ(HexText(bytes), identity) << "the text is the file's bytes in order";
    EXPECT_EQ(4, bytes[6] >> 4) << "a random (version 4) UUID in RFC 4122 byte order";
    EXPECT_TRUE(::PathIsDirectoryW(ComputerFolder(appData, identity).c_str()));

    std::wstring path;
    ASSERT_TRUE(ComputerPathAt(root.c_str(), appData.c_str(), kSettingsIniName, path));
    EXPECT_EQ(Join(ComputerFolder(appData, identity), L"Settings.ini"), path);
    ASSERT_TRUE(ComputerPathAt(root.c_str(), appData.c_str(), kHistoryFileName, path));
    EXPECT_EQ(Join(ComputerFolder(appData, identity), L"TransferredFiles.dat"), path);
    EXPECT_FALSE(ComputerPathAt(root.c_str(), nullptr, kSettingsIniName, path));

    // Second start on the same account: nothing new.
    first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), appData.c_str(), first));
    EXPECT_EQ(0, first);
    std::string again;
    ASSERT_TRUE(ReadBytes(IdFile(), again));
    EXPECT_EQ(bytes, again) << "the identity is never rewritten";

    // Another account: its application data has no folder for this player.
    std::wstring otherAccount = Join(folder, L"other account");
    first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), otherAccount.c_str(), first));
    EXPECT_EQ(1, first);
    EXPECT_TRUE(::PathIsDirectoryW(ComputerFolder(otherAccount, identity).c_str()));

    // The same account after its per-computer folder was removed.
    ASSERT_TRUE(DeleteTree(ComputerFolder(appData, identity)));
    first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), appData.c_str(), first));
    EXPECT_EQ(1, first);
    EXPECT_EQ(identity, Identity());
}

TEST_F(IdentityTest, WithoutRootOrApplicationData) {
    int first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(nullptr, appData.c_str(), first)) << "no root: start-up goes on";
    EXPECT_EQ(0, first);

    first = -1;
    EXPECT_FALSE(InitDeviceIdentityAt(root.c_str(), nullptr, first)) << "new identity without application data";
    EXPECT_TRUE(FileExists(IdFile()));

    first = -1;
    EXPECT_TRUE(InitDeviceIdentityAt(root.c_str(), nullptr, first)) << "existing identity without application data";
    EXPECT_EQ(0, first);
}

TEST_F(IdentityTest, FailuresShowTheirMessageAndEndTheStart) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        UuidMaker maker;
        const wchar_t* text;
        bool idFileLeft;
    } cases[] = {
        {"no UUID", [] {}, FailingUuid, L"Failed to create the file. \nFile name: device.id", false},
        {"player folder blocked by a file", [this] { WriteBytes(Join(root, L"Quavercart"), "x"); }, CreateUuid,
         L"Failed to create the file. \nFile name: device.id", false},
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
        EXPECT_TRUE(box.shown) << c.name;
        EXPECT_EQ(L"Error", box.caption) << c.name;
        EXPECT_EQ(c.text, box.text) << c.name;
        EXPECT_EQ(c.idFileLeft, FileExists(IdFile())) << c.name << ": no empty identity stays behind";
        EXPECT_EQ(0, SetMsgBoxFlg) << c.name << ": the box was counted up and down";
    }
}

TEST_F(IdentityTest, DeviceSettingsDefaultsAndRestore) {
    int first = 0;
    ASSERT_TRUE(InitDeviceIdentityAt(root.c_str(), appData.c_str(), first));
    std::wstring deviceIni = DeviceIniPathAt(root.c_str());
    std::wstring copy;
    ASSERT_TRUE(ComputerPathAt(root.c_str(), appData.c_str(), kDeviceIniName, copy));
    EXPECT_EQ(Join(root, L"Quavercart\\Quavercart.ini"), deviceIni);

    EXPECT_EQ(1, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str()));
    EXPECT_FALSE(FileExists(copy)) << "the copy is made by saving only";
    std::string bytes;
    ASSERT_TRUE(ReadBytes(deviceIni, bytes));
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(std::string("\xFF\xFE"), bytes.substr(0, 2));
    std::wstring text = Utf16LeToWide(bytes.substr(2));
    for (const wchar_t* line : {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Music\"", L"Ext2=\"wma\"", L"Path2=\"Music\"",
                                L"SizeType=2", L"Margin=20", L"[Settings]", L"[DiskSpace]"}) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << Narrow(line) << " in " << Narrow(text);
    }
    EXPECT_LT(text.find(L"Path2"), text.find(L"[DiskSpace]")) << "written in order";

    // Second start: the file exists, nothing changes.
    EXPECT_EQ(0, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str()));
    std::string again;
    ASSERT_TRUE(ReadBytes(deviceIni, again));
    EXPECT_EQ(bytes, again);

    // Deleted from the player while this computer keeps a copy.
    const std::string saved = std::string("\xFF\xFE", 2) + storetest::Utf16(L"[Settings]\r\nExtCount=1\r\nExt1=\"ogg\"\r\n");
    ASSERT_TRUE(WriteBytes(copy, saved));
    ASSERT_TRUE(::DeleteFileW(deviceIni.c_str()));
    EXPECT_EQ(0, InitDeviceSettingsAt(deviceIni.c_str(), copy.c_str()));
    ASSERT_TRUE(ReadBytes(deviceIni, again));
    EXPECT_EQ(saved, again) << "restored byte for byte";

    ASSERT_TRUE(::DeleteFileW(deviceIni.c_str()));
    EXPECT_EQ(1, InitDeviceSettingsAt(deviceIni.c_str(), nullptr)) << "no copy path: defaults";
    EXPECT_EQ(0, InitDeviceSettingsAt(nullptr, copy.c_str()));
}

TEST(SpecialFolders, DesktopsMyMusicAndBadSelectors) {
    wchar_t expected[MAX_PATH + 1];
    std::wstring folder = L"untouched";
    EXPECT_FALSE(GetDesktopFolder(2, folder));
    EXPECT_FALSE(GetDesktopFolder(-1, folder));
    EXPECT_EQ(L"untouched", folder);
    ASSERT_TRUE(GetDesktopFolder(1, folder));
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, expected, CSIDL_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(expected, folder);
    ASSERT_TRUE(GetDesktopFolder(0, folder));
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, expected, CSIDL_COMMON_DESKTOPDIRECTORY, FALSE));
    EXPECT_EQ(expected, folder);
    ASSERT_TRUE(GetMyMusicFolder(folder));
    ASSERT_TRUE(::SHGetSpecialFolderPathW(nullptr, expected, CSIDL_MYMUSIC, FALSE));
    EXPECT_EQ(expected, folder);
    EXPECT_FALSE(GetDeviceIniPath(2, folder));
    EXPECT_EQ(expected, folder);
}

} // namespace
