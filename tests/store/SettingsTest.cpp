// The settings files' rules that the end-to-end dialog tests do not reach; the
// per-computer copy and its restore are AppPathsTest's.

#include "StoreTestSupport.h"
#include "store/Settings.h"

#include <gtest/gtest.h>

using namespace qctest;
using namespace storetest;

namespace {

TEST(Settings, ACappedFolderCountAPlatformFileKeptAndOverlongPairsDropped) {
    const std::wstring folder = FreshFolder(L"qc-settings-test"), ini = Join(folder, L"Settings.ini");
    CSettingsModel model;
    // A damaged count of thousands of millions would keep the load reading for hours.
    ASSERT_TRUE(WriteBytes(ini, WithMark(L"[Settings]\r\nFolderCount=1000\r\n"
                                         L"Folder999=C:\\a\r\nFolder1000=C:\\b\r\n")));
    model.LoadFolderSettingsFrom(ini.c_str());
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\a"}, model.folders) << "at most 999 folders";
    // A file the platform already wrote keeps its own form: FF FE over its
    // first bytes would damage it.
    std::string bytes;
    ASSERT_TRUE(WriteBytes(ini, "[Settings]\r\nFolderCount=1\r\n"));
    ASSERT_TRUE(model.SaveFolderSettingsTo(ini.c_str()));
    EXPECT_TRUE(ReadBytes(ini, bytes) && bytes.compare(0, 10, "[Settings]") == 0);

    // The platform drops one pair of quotes and the load one more; texts
    // beyond 260 characters are dropped, not cut.
    const std::wstring x260(260, L'x'), y261(261, L'y');
    ASSERT_TRUE(WriteBytes(ini, WithMark(L"[Settings]\r\nExtCount=4\r\nExt1=\"\"ogg\"\"\r\n"
                                         L"Path1=\"\"Music\\Ogg\"\"\r\nExt2=\"" + x260 + L"\"\r\nPath2=\"" + x260 +
                                         L"\"\r\nExt3=" + y261 + L"\r\nExt4=mp3\r\nPath4=\"" + y261 + L"\"\r\n")));
    model.LoadExtensionSettingsFrom(ini.c_str());
    std::wstring got;
    for (const CExtensionPair& p : model.pairs) got += L"|" + p.extension + L">" + p.destination;
    EXPECT_EQ(L"|ogg>Music\\Ogg|" + x260 + L">" + x260, got);
    // The settings dialog would read a damaged pair count for hours, as it would folders.
    ASSERT_TRUE(WriteBytes(ini, WithMark(L"[Settings]\r\nExtCount=1000\r\nExt999=mp3\r\nExt1000=wma\r\n")));
    model.LoadExtensionSettingsFrom(ini.c_str());
    EXPECT_TRUE(model.pairs.size() == 1 && model.pairs[0].extension == L"mp3") << "at most 999 pairs";
    DeleteTree(folder);
}

} // namespace
