// The settings dialog's reading and writing rules; the files of the running
// player, the per-computer copy and its restore are AppPathsTest's.

#include "StoreTestSupport.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

TEST(Settings, FolderSettingsSaveInAUnicodeFileAndLoadWithinTheirCount) {
    const std::wstring folder = FreshFolder(L"qc-settings-test"), ini = Join(folder, L"{id}\\Settings.ini");
    CSettingsModel model, loaded;
    std::string bytes;
    model.allFolders = true;
    model.folders = {L"C:\\A", L" D:\\Spaces \\", L"C:\\C"};
    ASSERT_TRUE(model.SaveFolderSettingsTo(ini.c_str())) << "the first save makes the file and its folder";
    model.folders.resize(2);
    model.deskTop = false;
    ASSERT_TRUE(model.SaveFolderSettingsTo(ini.c_str())) << "then two: Folder3 stays in the file, unread";
    // A file (first the one just saved; else after [Settings]) -> the ticks
    // (the dialog's is on only for exactly "1") and the folders; a missing or
    // empty folder key within the count names none.
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"", L"1100|C:\\A| D:\\Spaces \\"},
        {L"MyMusic=2\r\nDeskTop=0\r\nSelectedFolders=1\r\n", L"0001"},
        {L"AllFolders=\"1\"\r\nDeskTop= 1\r\nMyMusic=0\r\nFolderCount=3\r\nFolder1=\r\nFolder3=C:\\x\r\n", L"1010|C:\\x"},
        {L"\r\n", L"0110"},
        {L"FolderCount=1000\r\nFolder999=C:\\a\r\nFolder1000=C:\\b\r\n", L"0110|C:\\a"},  // at most 999 folders
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.first.empty() || WriteBytes(ini, WithMark(L"[Settings]\r\n" + c.first)));
        loaded.folders = {L"stale"};
        loaded.allFolders = loaded.selectedFolders = true, loaded.myMusic = loaded.deskTop = false;
        loaded.LoadFolderSettingsFrom(ini.c_str());
        std::wstring got = std::to_wstring(loaded.allFolders) + std::to_wstring(loaded.myMusic) +
                           std::to_wstring(loaded.deskTop) + std::to_wstring(loaded.selectedFolders);
        for (const std::wstring& f : loaded.folders) got += L"|" + f;
        EXPECT_EQ(c.second, got) << Narrow(c.first);
    }
    // A file the platform already wrote keeps its own form: FF FE over its first bytes would damage it.
    ASSERT_TRUE(WriteBytes(ini, "[Settings]\r\nFolderCount=1\r\n"));
    ASSERT_TRUE(model.SaveFolderSettingsTo(ini.c_str()));
    EXPECT_TRUE(ReadBytes(ini, bytes) && bytes.compare(0, 10, "[Settings]") == 0);
    DeleteTree(folder);
}

TEST(Settings, ExtensionPairsDropEmptyAndOverlongOnesAndCapTheCount) {
    const std::wstring folder = FreshFolder(L"qc-settings-test"), ini = Join(folder, L"Quavercart.ini"), x260(260, L'x'), y261(261, L'y');
    // The platform drops one pair of quotes and the load one more; empty
    // extensions and texts beyond 260 characters are dropped, not cut.
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"ExtCount=3\r\nExt1=\"mp3\"\r\nPath1=\"Music\"\r\nExt2=\r\nPath2=Lost\r\nExt3=\"\"ogg\"\"\r\nPath3=\"\"Music\\Ogg\"\"\r\n"
         L"Ext4=wma\r\n", L"|mp3>Music|ogg>Music\\Ogg"},
        {L"ExtCount=1000\r\nExt999=mp3\r\nPath999=Music\r\nExt1000=wma\r\n", L"|mp3>Music"},  // at most 999 pairs
        {L"ExtCount=2\r\nExt1=\"" + x260 + L"\"\r\nPath1=\"" + x260 + L"\"\r\nExt2=wma\r\n", L"|" + x260 + L">" + x260 + L"|wma>"},
        {L"ExtCount=3\r\nExt1=" + y261 + L"\r\nExt2=mp3\r\nPath2=\"" + y261 + L"\"\r\nExt3=ogg\r\n", L"|ogg>"},
    };
    CSettingsModel model;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(ini, WithMark(L"[Settings]\r\n" + c.first)));
        model.pairs = {{L"stale", L"stale"}};
        model.LoadExtensionSettingsFrom(ini.c_str());
        std::wstring got;
        for (const CExtensionPair& p : model.pairs) got += L"|" + p.extension + L">" + p.destination;
        EXPECT_EQ(c.second, got) << Narrow(c.first.substr(0, 40));
    }
    DeleteTree(folder);
}

} // namespace
