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
        return bytes.compare(0, 2, "\xFF\xFE") == 0 ? Utf16LeToWide(bytes.substr(2)) : L"<no mark>";
    }
    static std::string Flags(const CSettingsModel& m) {
        return std::to_string(m.allFolders) + std::to_string(m.myMusic) + std::to_string(m.deskTop) +
               std::to_string(m.selectedFolders);
    }

    std::wstring folder, settingsIni, deviceIni, copyIni;
};

TEST_F(SettingsTest, FolderSettingsRoundTripInAUnicodeFile) {
    struct Case {
        const char* name;
        CSettingsModel saved;  // the four ticks, then the folders
    } cases[] = {
        {"one folder", {false, true, true, true, {L"C:\\My Songs"}, {}}},
        {"all flags off, no folders", {false, false, false, false, {}, {}}},
        {"all flags on", {true, true, true, true, {L"D:\\Audio", L" E:\\Spaces \\"}, {}}},
        {"Japanese and Russian names",
         {false, false, true, true,
          {L"C:\\\x97f3\x697d\\\x30d5\x30a9\x30eb\x30c0", L"D:\\\x041c\x0443\x0437\x044b\x043a\x0430"}, {}}},
    };
    for (const Case& c : cases) {
        // The first save makes the file and its per-computer folder.
        ::DeleteFileW(settingsIni.c_str());
        const CSettingsModel& saved = c.saved;
        CSettingsModel loaded;
        EXPECT_TRUE(saved.SaveFolderSettingsTo(settingsIni.c_str())) << c.name;
        std::wstring text = Text(settingsIni);
        EXPECT_NE(std::wstring::npos, text.find(L"FolderCount=" + std::to_wstring(saved.folders.size()))) << c.name;
        for (size_t i = 0; i < saved.folders.size(); ++i) {
            std::wstring line = L"Folder" + std::to_wstring(i + 1) + L"=\"" + saved.folders[i] + L"\"";
            EXPECT_NE(std::wstring::npos, text.find(line)) << c.name << ": " << Narrow(text);
        }
        loaded.folders = {L"stale"};
        loaded.LoadFolderSettingsFrom(settingsIni.c_str());
        EXPECT_EQ(Flags(saved), Flags(loaded)) << c.name;
        EXPECT_EQ(saved.folders, loaded.folders) << c.name;
    }

    // Three folders, then two: Folder3 stays in the file but is not read.
    CSettingsModel model, loaded;
    model.folders = {L"C:\\A", L"C:\\B", L"C:\\C"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    model.folders = {L"D:\\X", L"D:\\Y"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    EXPECT_NE(std::wstring::npos, Text(settingsIni).find(L"Folder3=\"C:\\C\"")) << Narrow(Text(settingsIni));
    loaded.LoadFolderSettingsFrom(settingsIni.c_str());
    EXPECT_EQ(model.folders, loaded.folders);

    // A file the platform already wrote keeps its own form: FF FE over its
    // first bytes would damage it.
    ASSERT_TRUE(WriteBytes(settingsIni, "[Settings]\r\nFolderCount=1\r\nFolder1=\"C:\\Old\"\r\n"));
    model.folders = {L"C:\\New"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(settingsIni.c_str()));
    EXPECT_EQ(L"<no mark>", Text(settingsIni));
    loaded.LoadFolderSettingsFrom(settingsIni.c_str());
    EXPECT_EQ(model.folders, loaded.folders);
    EXPECT_FALSE(model.SaveFolderSettingsTo(nullptr)) << "no path: nothing is written anywhere";
}

TEST_F(SettingsTest, DialogReadsFlagsOnlyWhenExactlyOne) {
    const wchar_t* ini = settingsIni.c_str();
    struct Case {
        const char* name;
        const wchar_t* path;
        const wchar_t* content;  // after [Settings]; null: no file
        const char* flags;
    } cases[] = {
        {"MyMusic=1 alone", ini, L"MyMusic=1\r\n", "0110"},
        {"MyMusic=2", ini, L"MyMusic=2\r\n", "0010"},
        {"every flag 1", ini, L"AllFolders=1\r\nMyMusic=1\r\nDeskTop=1\r\nSelectedFolders=1\r\n", "1111"},
        {"every flag 0", ini, L"AllFolders=0\r\nMyMusic=0\r\nDeskTop=0\r\nSelectedFolders=0\r\n", "0000"},
        {"quoted one", ini, L"AllFolders=\"1\"\r\nDeskTop= 1\r\n", "1110"},
        {"no keys", ini, L"", "0110"},
        {"no file: the first-start ticks", ini, nullptr, "0110"},
        {"no path: the first-start ticks", nullptr, nullptr, "0110"},
    };
    for (const Case& c : cases) {
        ::DeleteFileW(ini);
        if (c.content) {
            ASSERT_TRUE(WriteBytes(ini, WithMark(L"[Settings]\r\n" + std::wstring(c.content))));
        }
        CSettingsModel model;
        model.allFolders = true;
        model.myMusic = model.deskTop = false;
        model.folders = {L"stale"};
        model.LoadFolderSettingsFrom(c.path);
        EXPECT_EQ(c.flags, Flags(model)) << c.name;
        EXPECT_TRUE(model.folders.empty()) << c.name;
    }
}

// The dialog's pairs as "ext>destination", joined by "|".
std::wstring PairsOf(const CSettingsModel& model) {
    std::wstring text;
    for (const CExtensionPair& p : model.pairs) text += (text.empty() ? L"" : L"|") + p.extension + L">" + p.destination;
    return text;
}

TEST_F(SettingsTest, ExtensionPairsLoadAndSaveToThePlayerAndAnIdenticalCopy) {
    ASSERT_TRUE(WriteBytes(deviceIni, WithMark(L"[Settings]\r\nExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\n"
                                               L"Ext2=\r\nPath2=\"Lost\"\r\nExt3=\"\"ogg\"\"\r\nPath3=\"\"Music\\Ogg\"\"\r\n"
                                               L"Ext4=\"wma\"\r\nPath4=\"Beyond\"\r\n[DiskSpace]\r\nMargin=512\r\n")));
    CSettingsModel model, loaded;
    model.pairs = {{L"stale", L"stale"}};
    model.LoadExtensionSettingsFrom(deviceIni.c_str());
    // An empty extension is skipped; quotes inside the platform's pair are removed too.
    EXPECT_EQ(L"mp3>Music|ogg>Music\\Ogg", PairsOf(model));
    model.LoadExtensionSettingsFrom(nullptr);
    EXPECT_TRUE(model.pairs.empty());

    ASSERT_TRUE(MakeDirs(Join(folder, L"appdata\\Quavercart\\{id}")));
    const std::wstring rock = L"Music\\\x30ed\x30c3\x30af";
    model.pairs = {{L"mp3", L"Music"}, {L" wav ", rock}};
    ASSERT_TRUE(model.SaveExtensionSettingsTo(deviceIni.c_str(), copyIni.c_str()));
    std::string player, copy;
    ASSERT_TRUE(ReadBytes(deviceIni, player) && ReadBytes(copyIni, copy));
    EXPECT_EQ(player, copy) << "the per-computer copy equals the player's file byte for byte";
    std::wstring text = Text(deviceIni);
    for (std::wstring line : {L"ExtCount=2", L"Ext1=\"mp3\"", L"Path1=\"Music\"", L"Ext2=\" wav \"", L"Ext4=\"wma\"",
                              L"Margin=512"}) {
        EXPECT_NE(std::wstring::npos, text.find(line)) << Narrow(line) << " in " << Narrow(text);
    }
    loaded.LoadExtensionSettingsFrom(copyIni.c_str());
    EXPECT_EQ(L"mp3>Music| wav >" + rock, PairsOf(loaded)) << "blanks survive through the quotes";

    // A player file that has gone missing is made anew as UTF-16LE.
    ASSERT_TRUE(::DeleteFileW(deviceIni.c_str()));
    ASSERT_TRUE(model.SaveExtensionSettingsTo(deviceIni.c_str(), nullptr));
    EXPECT_NE(std::wstring::npos, Text(deviceIni).find(L"Path2=\"" + rock + L"\""));
}

TEST_F(SettingsTest, DialogLoadCapsACorruptCountAndDropsOverlongPairs) {
    const std::wstring x260(260, L'x'), y261(261, L'y');
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"ExtCount=2000000000\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\n", L"mp3>Music"},
        {L"ExtCount=2\r\nExt1=\"" + x260 + L"\"\r\nPath1=\"" + x260 + L"\"\r\nExt2=wma\r\n",
         x260 + L">" + x260 + L"|wma>"},
        {L"ExtCount=2\r\nExt1=" + y261 + L"\r\nPath1=Music\r\nExt2=ogg\r\nPath2=Ogg\r\n", L"ogg>Ogg"},
        {L"ExtCount=2\r\nExt1=mp3\r\nPath1=\"" + y261 + L"\"\r\nExt2=ogg\r\n", L"ogg>"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(deviceIni, WithMark(L"[Settings]\r\n" + c.first)));
        CSettingsModel model;
        model.LoadExtensionSettingsFrom(deviceIni.c_str());
        EXPECT_EQ(c.second, PairsOf(model)) << Narrow(c.first.substr(0, 40));
    }
}

TEST(UnquoteSpaces, OnlyOneEnclosingPair) {
    const wchar_t* cases[][2] = {
        {L"", L""},       {L"\"\"", L""},   {L"\"a\"", L"a"}, {L"\"\"a\"\"", L"\"a\""},
        {L"\"a", L"\"a"}, {L"a\"", L"a\""}, {L"\"", L""},     {L" \"a\" ", L" \"a\" "},
    };
    for (const auto& c : cases) EXPECT_EQ(c[1], UnquoteSpaces(c[0])) << Narrow(c[0]);
}

} // namespace
