#include "StoreTestSupport.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = FreshFolder(L"qc-settings-test");
        settingsIni = Join(folder, L"appdata\\Quavercart\\{id}\\Settings.ini");
        deviceIni = Join(folder, L"player\\Quavercart\\Quavercart.ini");
        copyIni = Join(folder, L"appdata\\Quavercart\\{id}\\Quavercart.ini");
    }
    void TearDown() override { DeleteTree(folder); }

    // The file's text after its byte order mark; "<no mark>" when it is not
    // a UTF-16LE file.
    std::wstring Text(const std::wstring& path) {
        std::string bytes;
        if (!ReadBytes(path, bytes)) return L"<missing>";
        if (bytes.compare(0, 2, "\xFF\xFE") != 0) return L"<no mark>";
        return Utf16LeToWide(bytes.substr(2));
    }

    std::wstring folder, settingsIni, deviceIni, copyIni;
};

TEST_F(SettingsTest, FolderSettingsRoundTrip) {
    struct Case {
        const char* name;
        bool all, myMusic, desk, selected;
        std::vector<std::wstring> folders;
    } cases[] = {
        {"one folder", false, true, true, true, {L"C:\\My Songs"}},
        {"all flags off, no folders", false, false, false, false, {}},
        {"all flags on", true, true, true, true, {L"D:\\Audio", L" E:\\Spaces \\"}},
        {"Japanese and Russian names", false, false, true, true,
         {L"C:\\\x97f3\x697d\\\x30d5\x30a9\x30eb\x30c0", L"D:\\\x041c\x0443\x0437\x044b\x043a\x0430"}},
    };
    for (const Case& c : cases) {
        ::DeleteFileW(settingsIni.c_str());
        CSettingsModel saved;
        saved.allFolders = c.all;
        saved.myMusic = c.myMusic;
        saved.deskTop = c.desk;
        saved.selectedFolders = c.selected;
        saved.folders = c.folders;
        EXPECT_TRUE(saved.SaveFolderSettingsTo(settingsIni.c_str())) << c.name;

        std::wstring text = Text(settingsIni);
        EXPECT_NE(std::wstring::npos, text.find(L"FolderCount=" + std::to_wstring(c.folders.size()))) << c.name;
        for (size_t i = 0; i < c.folders.size(); ++i) {
            std::wstring line = L"Folder" + std::to_wstring(i + 1) + L"=\"" + c.folders[i] + L"\"";
            EXPECT_NE(std::wstring::npos, text.find(line)) << c.name << ": " << Narrow(text);
        }

        CSettingsModel loaded;
        loaded.folders = {L"stale"};
        loaded.LoadFolderSettingsFrom(settingsIni.c_str());
        EXPECT_EQ(c.all, loaded.allFolders) << c.name;
        EXPECT_EQ(c.myMusic, loaded.myMusic) << c.name;
        EXPECT_EQ(c.desk, loaded.deskTop) << c.name;
        EXPECT_EQ(c.selected, loaded.selectedFolders) << c.name;
        EXPECT_EQ(c.folders, loaded.folders) << c.name;
    }
}

TEST_F(SettingsTest, FewerFoldersLeaveTheOldKeysUnread) {
    CSettingsModel model;
    model.folders = {L"C:\\A", L"C:\\B", L"C:\\C"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    model.folders = {L"D:\\X", L"D:\\Y"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    std::wstring text = Text(settingsIni);
    EXPECT_NE(std::wstring::npos, text.find(L"Folder3=\"C:\\C\"")) << Narrow(text);
    EXPECT_NE(std::wstring::npos, text.find(L"FolderCount=2"));
    CSettingsModel loaded;
    loaded.LoadFolderSettingsFrom(settingsIni.c_str());
    EXPECT_EQ((std::vector<std::wstring>{L"D:\\X", L"D:\\Y"}), loaded.folders);
}

TEST_F(SettingsTest, DialogReadsFlagsOnlyWhenExactlyOne) {
    struct Case {
        const char* name;
        std::wstring content;  // after [Settings]
        bool all, myMusic, desk, selected;
    } cases[] = {
        {"MyMusic=1 alone", L"MyMusic=1\r\n", false, true, true, false},
        {"MyMusic=2", L"MyMusic=2\r\n", false, false, true, false},
        {"every flag 1", L"AllFolders=1\r\nMyMusic=1\r\nDeskTop=1\r\nSelectedFolders=1\r\n", true, true, true, true},
        {"every flag 0", L"AllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=0\r\n", false, false, false,
         false},
        {"quoted one", L"AllFolders=\"1\"\r\nDeskTop= 1\r\n", true, true, true, false},
        {"no keys", L"", false, true, true, false},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(settingsIni, WithMark(L"[Settings]\r\n" + c.content)));
        CSettingsModel model;
        model.LoadFolderSettingsFrom(settingsIni.c_str());
        EXPECT_EQ(c.all, model.allFolders) << c.name;
        EXPECT_EQ(c.myMusic, model.myMusic) << c.name;
        EXPECT_EQ(c.desk, model.deskTop) << c.name;
        EXPECT_EQ(c.selected, model.selectedFolders) << c.name;
    }

    // No file, or no path at all: the first-start ticks and no folders.
    const std::wstring absent = Join(folder, L"absent.ini");
    for (const wchar_t* path : {absent.c_str(), static_cast<const wchar_t*>(nullptr)}) {
        CSettingsModel model;
        model.allFolders = true;
        model.myMusic = model.deskTop = false;
        model.folders = {L"stale"};
        model.LoadFolderSettingsFrom(path);
        EXPECT_FALSE(model.allFolders);
        EXPECT_TRUE(model.myMusic);
        EXPECT_TRUE(model.deskTop);
        EXPECT_FALSE(model.selectedFolders);
        EXPECT_TRUE(model.folders.empty());
    }
}

TEST_F(SettingsTest, FirstSaveCreatesAUnicodeFileAndKeepsAnExistingOne) {
    CSettingsModel model;
    model.folders = {L"C:\\\x97f3\x697d"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str())) << "the per-computer folder is created too";
    std::string bytes;
    ASSERT_TRUE(ReadBytes(settingsIni, bytes));
    EXPECT_EQ(std::string("\xFF\xFE"), bytes.substr(0, 2));

    // A file the platform already wrote is left in its own form.
    const std::string ansi = "[Settings]\r\nFolderCount=1\r\nFolder1=\"C:\\Old\"\r\n";
    ASSERT_TRUE(WriteBytes(settingsIni, ansi));
    model.folders = {L"C:\\New"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    ASSERT_TRUE(ReadBytes(settingsIni, bytes));
    EXPECT_NE("\xFF\xFE", bytes.substr(0, 2));
    CSettingsModel loaded;
    loaded.LoadFolderSettingsFrom(settingsIni.c_str());
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\New"}, loaded.folders);

    EXPECT_FALSE(model.SaveFolderSettingsTo(nullptr)) << "no path: nothing is written anywhere";
}

TEST_F(SettingsTest, ExtensionPairsSkipEmptyExtensionsAndLoseTheirQuotes) {
    ASSERT_TRUE(WriteBytes(deviceIni, WithMark(L"[Settings]\r\nExtCount=3\r\n"
                                               L"Ext1=\"mp3\"\r\nPath1=\"Music\"\r\n"
                                               L"Ext2=\r\nPath2=\"Lost\"\r\n"
                                               L"Ext3=\"\"ogg\"\"\r\nPath3=\"\"Music\\Ogg\"\"\r\n"
                                               L"Ext4=\"wma\"\r\nPath4=\"Beyond\"\r\n")));
    CSettingsModel model;
    model.pairs = {{L"stale", L"stale"}};
    model.LoadExtensionSettingsFrom(deviceIni.c_str());
    ASSERT_EQ(2u, model.pairs.size());
    EXPECT_EQ(L"mp3", model.pairs[0].extension);
    EXPECT_EQ(L"Music", model.pairs[0].destination);
    EXPECT_EQ(L"ogg", model.pairs[1].extension) << "quotes inside the platform's pair are removed too";
    EXPECT_EQ(L"Music\\Ogg", model.pairs[1].destination);

    model.LoadExtensionSettingsFrom(nullptr);
    EXPECT_TRUE(model.pairs.empty());
}

TEST_F(SettingsTest, SavedPairsReachThePlayerAndAnIdenticalCopy) {
    ASSERT_TRUE(WriteBytes(deviceIni, WithMark(L"[Settings]\r\nExtCount=3\r\nExt3=\"aac\"\r\nPath3=\"Old\"\r\n"
                                               L"[DiskSpace]\r\nSizeType=1\r\nMargin=512\r\n")));
    ASSERT_TRUE(MakeDirs(Join(folder, L"appdata\\Quavercart\\{id}")));
    CSettingsModel model;
    model.pairs = {{L"mp3", L"Music"}, {L" wav ", L"Music\\\x30ed\x30c3\x30af"}};
    ASSERT_TRUE(model.SaveExtensionSettingsTo(deviceIni.c_str(), copyIni.c_str()));

    std::string player, copy;
    ASSERT_TRUE(ReadBytes(deviceIni, player));
    ASSERT_TRUE(ReadBytes(copyIni, copy));
    EXPECT_EQ(player, copy) << "the per-computer copy equals the player's file byte for byte";
    std::wstring text = Text(deviceIni);
    for (const wchar_t* line : {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Music\"", L"Ext2=\" wav \"",
                                L"Path2=\"Music\\\x30ed\x30c3\x30af\"", L"Ext3=\"aac\"", L"Margin=512"}) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << Narrow(line) << " in " << Narrow(text);
    }
    CSettingsModel loaded;
    loaded.LoadExtensionSettingsFrom(copyIni.c_str());
    ASSERT_EQ(2u, loaded.pairs.size());
    EXPECT_EQ(L" wav ", loaded.pairs[1].extension) << "blanks survive through the quotes";
    EXPECT_EQ(L"Music\\\x30ed\x30c3\x30af", loaded.pairs[1].destination);

    // A player file that has gone missing is made anew as UTF-16LE.
    ASSERT_TRUE(::DeleteFileW(deviceIni.c_str()));
    ASSERT_TRUE(model.SaveExtensionSettingsTo(deviceIni.c_str(), nullptr));
    EXPECT_NE(std::wstring::npos, Text(deviceIni).find(L"\x30ed\x30c3\x30af"));
}

TEST(UnquoteSpaces, OnlyOneEnclosingPair) {
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"", L""},           {L"\"\"", L""},         {L"\"a\"", L"a"},     {L"\"\"a\"\"", L"\"a\""},
        {L"\"a", L"\"a"},     {L"a\"", L"a\""},       {L"\"", L""},         {L" \"a\" ", L" \"a\" "},
    };
    for (const Case& c : cases) EXPECT_EQ(c.out, UnquoteSpaces(c.in)) << Narrow(c.in);
}

} // namespace
