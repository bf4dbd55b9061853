#include "EngineSupport.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

void Settings(std::initializer_list<std::pair<const wchar_t*, std::wstring>> keys, bool device = false) {
    const std::wstring path = device ? DeviceIniPath() : PathOf(GetSettingsIniPath);
    for (const auto& k : keys) ::WritePrivateProfileStringW(L"Settings", k.first, k.second.c_str(), path.c_str());
}

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayer(), worker.BindReceiver(&recorder); }
    CTestThread worker;
    CRecorder recorder;
};

} // namespace

TEST_F(SearchTest, RootsFromDrivesAndListedFolders) {
    // A:, B: and the player by name; Q: (a CD-ROM drive without a disc) and Z: (an unknown kind) by kind.
    Settings({{L"AllFolders", L"1"}});
    worker.drives = L"a:\\|B:\\|C:\\|Q:\\|Z:\\|e:\\";
    worker.kinds = {{L'a', DRIVE_REMOVABLE}, {L'B', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'Q', DRIVE_CDROM}, {L'Z', 0}};
    ASSERT_TRUE(worker.BuildSearchRoots());
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\"}, worker.GetSearchRoots());
    CTestThread odd, listed;  // a kind above 6 fails the search
    odd.drives = L"C:\\";
    odd.kinds = {{L'C', 7}};
    EXPECT_TRUE(!odd.BuildSearchRoots() && odd.GetErrorFlg() == 1);
    // MyMusic: any number but 0 is on; Folder1 is on the player, Folder5 no drive path, Folder6 beyond FolderCount.
    ASSERT_TRUE(MakeDirs(L"E:\\Backup") && MakeDirs(Src(L"listed")));
    Settings({{L"AllFolders", L"0"}, {L"MyMusic", L"2"}, {L"SelectedFolders", L"1"}, {L"FolderCount", L"5"},
              {L"Folder1", L"\"E:\\Backup\""}, {L"Folder2", L"\"C:\\qcsrc\\missing\""},
              {L"Folder3", L"\"C:\\" + std::wstring(260, L'x') + L"\""}, {L"Folder4", L"\"C:\\qcsrc\\listed\""},
              {L"Folder5", L"\"\\\\?\\C:\\qcsrc\\listed\""}, {L"Folder6", L"\"C:\\qcsrc\""}});
    std::wstring myMusic;
    ASSERT_TRUE(listed.BuildSearchRoots() && GetMyMusicFolder(myMusic));
    EXPECT_EQ((std::vector<std::wstring>{myMusic, L"C:\\qcsrc\\listed"}), listed.GetSearchRoots());
}

TEST_F(SearchTest, ExtensionTableAndCapacityKeys) {
    Settings({{L"ExtCount", L"4"}, {L"Ext1", L"\"MP3\""}, {L"Path1", L"\"Music\\Pop\""}, {L"Ext2", L"\"mp3\""},
              {L"Path2", L"\"Other\""}, {L"Ext3", L"\"Wma\""}, {L"Path3", L"\"\""}, {L"Ext4", L"\"ogg\""},
              {L"Path4", L"\"Music\\\""}}, true);
    ASSERT_TRUE(worker.LoadExtensionTable());
    EXPECT_EQ((CTransferThread::ExtensionTable{{L".mp3", L"E:\\Music\\Pop\\"}, {L".wma", L"E:\\"}, {L".ogg", L"E:\\Music\\"}}),
              worker.GetExtensionTable());
    for (const wchar_t* name : {L"Song.MP3", L"a.b.wma", L".ogg"}) EXPECT_TRUE(worker.IsTransferTarget(name));
    for (const wchar_t* name : {L"mp3", L"song.mp3.txt", L"song.", L"x"}) EXPECT_FALSE(worker.IsTransferTarget(name));

    // Missing keys are written back with their defaults (20 MB); a UTF-16 file cut inside its last character is
    // read but not written back, which would complete that character with a stray byte.
    wchar_t type[32], margin[32];
    ASSERT_TRUE(worker.LoadCapacitySettings());
    ::GetPrivateProfileStringW(L"DiskSpace", L"SizeType", L"", type, 32, DeviceIniPath().c_str());
    ::GetPrivateProfileStringW(L"DiskSpace", L"Margin", L"", margin, 32, DeviceIniPath().c_str());
    EXPECT_EQ("2,20,20971520", Narrow(type + (L"," + std::wstring(margin))) + "," + std::to_string(GetFreeSpaceMargin()));
    std::string torn, after;
    WriteDeviceSetting(L"DiskSpace", L"SizeType", L"1");
    WriteDeviceSetting(L"DiskSpace", L"Margin", L"12abc");
    ASSERT_TRUE(ReadBytes(DeviceIniPath(), torn));
    torn.pop_back();
    ASSERT_TRUE(WriteBytes(DeviceIniPath(), torn) && worker.LoadCapacitySettings());
    EXPECT_TRUE(GetFreeSpaceMargin() == 12 * 1024 && ReadBytes(DeviceIniPath(), after) && after == torn);
}
