#include "EngineSupport.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

void Settings(std::initializer_list<std::pair<const wchar_t*, std::wstring>> keys, bool device = false) {
    for (const auto& k : keys) ::WritePrivateProfileStringW(L"Settings", k.first, k.second.c_str(),
                                                            (device ? DeviceIniPath() : PathOf(GetSettingsIniPath)).c_str());
}

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayer(), worker.BindReceiver(&recorder); }
    void Scan(const std::wstring& root) {  // as if it were the search root
        worker.SetCurrentSearchRoot(root);
        ASSERT_TRUE(worker.ScanFolder(root)) << Narrow(root);
    }
    CTestThread worker;
    CRecorder recorder;
};

} // namespace

TEST_F(SearchTest, RootsFromDrivesFlagsAndListedFolders) {
    // A:, B: and the player by name; Q: (a CD-ROM drive without a disc) and Z: (an unknown kind) by kind.
    Settings({{L"AllFolders", L"1"}});
    worker.drives = L"a:\\|B:\\|C:\\|Q:\\|Z:\\|e:\\";
    worker.kinds = {{L'a', DRIVE_REMOVABLE}, {L'B', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'Q', DRIVE_CDROM}, {L'Z', 0}};
    ASSERT_TRUE(worker.BuildSearchRoots());
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\"}, worker.GetSearchRoots());
    CTestThread odd, listed, desk;  // a kind above 6 fails the search
    odd.drives = L"C:\\";
    odd.kinds = {{L'C', 7}};
    EXPECT_TRUE(!odd.BuildSearchRoots() && odd.GetErrorFlg() == 1);

    ASSERT_TRUE(MakeDirs(L"E:\\Backup") && MakeDirs(Src(L"listed")));
    // MyMusic: any number but 0 is on; Folder1 is on the player, Folder5 no drive path, Folder6 beyond FolderCount.
    Settings({{L"AllFolders", L"0"}, {L"MyMusic", L"2"}, {L"SelectedFolders", L"1"}, {L"FolderCount", L"5"},
              {L"Folder1", L"\"E:\\Backup\""}, {L"Folder2", L"\"C:\\qcsrc\\missing\""},
              {L"Folder3", L"\"C:\\" + std::wstring(260, L'x') + L"\""}, {L"Folder4", L"\"C:\\qcsrc\\listed\""},
              {L"Folder5", L"\"\\\\?\\C:\\qcsrc\\listed\""}, {L"Folder6", L"\"C:\\qcsrc\""}});
    std::wstring myMusic, user, common;
    ASSERT_TRUE(listed.BuildSearchRoots() && GetMyMusicFolder(myMusic));
    EXPECT_EQ((std::vector<std::wstring>{myMusic, L"C:\\qcsrc\\listed"}), listed.GetSearchRoots());
    Settings({{L"MyMusic", L"0"}, {L"DeskTop", L"1"}, {L"SelectedFolders", L"0"}});
    ASSERT_TRUE(desk.BuildSearchRoots() && GetDesktopFolder(1, user) && GetDesktopFolder(0, common));
    EXPECT_EQ((std::vector<std::wstring>{user, common}), desk.GetSearchRoots());
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

    // SizeType and Margin as given, then as written back, and the reserve they make.
    const wchar_t* capacities[][4] = {{nullptr, nullptr, L"2,20", L"20971520"}, {L"1", L"512", L"1,512", L"524288"},
                                      {L"7", L"1", L"7,1", L"1073741824"}, {L"0", L"12abc", L"0,12", L"12"}};
    for (const auto& c : capacities) {
        WriteDeviceSetting(L"DiskSpace", L"SizeType", c[0]);
        WriteDeviceSetting(L"DiskSpace", L"Margin", c[1]);
        ASSERT_TRUE(worker.LoadCapacitySettings());
        wchar_t type[32], margin[32];
        ::GetPrivateProfileStringW(L"DiskSpace", L"SizeType", L"-", type, 32, DeviceIniPath().c_str());
        ::GetPrivateProfileStringW(L"DiskSpace", L"Margin", L"-", margin, 32, DeviceIniPath().c_str());
        EXPECT_EQ(Narrow(c[2] + (L" " + std::wstring(c[3]))),
                  Narrow(type + (L"," + std::wstring(margin))) + " " + std::to_string(GetFreeSpaceMargin()));
    }
    // A UTF-16 file cut inside its last character is read but not written
    // back, which would complete that character with a stray byte.
    WriteDeviceSetting(L"DiskSpace", nullptr, nullptr);
    std::string torn, after;
    ASSERT_TRUE(ReadBytes(DeviceIniPath(), torn));
    torn.pop_back();
    ASSERT_TRUE(WriteBytes(DeviceIniPath(), torn) && worker.LoadCapacitySettings());
    EXPECT_TRUE(GetFreeSpaceMargin() == 20971520 && ReadBytes(DeviceIniPath(), after) && after == torn);
}

TEST_F(SearchTest, TheWalkCollectsNewTargetsBelowTheLengthLimit) {
    SearchOnly({kSourceRoot});
    const SYSTEMTIME when = Utc(2007, 3, 14, 9, 30, 5);
    // A folder prefix of 250 characters: 250 + 10 + 1 exceeds 260, 250 + 9 + 1 does not.
    const std::wstring deep = std::wstring(240, L'p') + L"\\abcde";
    // Hidden and system entries are left out; in the history by another letter case, not with another stamp,
    // size or a longer path.
    const std::pair<std::wstring, bool> files[] = {
        {L"Artist\\Album\\Song.MP3", true}, {L"top.wma", true}, {L"mp3", false}, {L"notes.txt", false},
        {L"Hidden\\inside.mp3", false}, {L"hidden.mp3", false}, {L"system.mp3", false}, {deep + L".mp3", true},
        {deep + L"f.mp3", false}, {L"Known.mp3", false}, {L"touched.mp3", true}, {L"grown.mp3", true}, {L"new.mp3", true}};
    std::map<std::wstring, std::wstring> expected, found;
    for (const auto& f : files) {
        ASSERT_TRUE(MakeFile(Src(f.first), 5 + f.first.size(), &when)) << Narrow(f.first);
        if (f.second) expected[Src(f.first)] = L"E:\\Music\\" + f.first;
    }
    for (const wchar_t* name : {L"Hidden", L"hidden.mp3"}) ::SetFileAttributesW(Src(name).c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(Src(L"system.mp3").c_str(), FILE_ATTRIBUTE_SYSTEM);
    std::wstring history;
    for (const wchar_t* line : {L"20070314093005,14,KNOWN.MP3", L"20070314093004,16,touched.mp3",
                                L"20070314093005,15,grown.mp3", L"20070314093005,12,new.mp33"}) {
        history += std::wstring(line, 18) + L"\"" + Src(line + 18) + L"\"\r\n";
    }
    ASSERT_TRUE(WriteUtf16File(HistoryPath(), history) && worker.SearchFiles());
    for (const auto& entry : worker.GetCandidates()) {
        found[entry.second->Path()] = entry.second->GetDestPath();
        EXPECT_EQ(SizeOf(entry.second->Path()), entry.second->GetFileSize());
        EXPECT_EQ("20070314093005", Narrow(entry.first)) << Narrow(entry.second->Path());
    }
    EXPECT_EQ(expected, found);
    Scan(Src(L"missing"));  // a folder that cannot be walked gives the same line as a path too long
    recorder.Pump(20);
    EXPECT_EQ(Line(0, IDS_LINE_READ_FAILED, Src(deep + L"f.mp3")) + Line(0, IDS_LINE_READ_FAILED, Src(L"missing")),
              recorder.Describe());
}

TEST_F(SearchTest, OverlappingRootsKeepTheShorterDestinationOrTheFirstFound) {
    std::wstring myMusic, kept;
    ASSERT_TRUE(GetMyMusicFolder(myMusic) && MakeFile(Join(myMusic, L"Band\\mm.mp3"), 4));
    Settings({{L"AllFolders", L"1"}, {L"MyMusic", L"1"}});
    worker.drives = L"C:\\";
    ASSERT_TRUE(worker.SearchFiles());
    DeleteTree(Join(myMusic, L"Band"));
    // Drive C: may hold other music of other tests; only this file counts here.
    for (const auto& entry : worker.GetCandidates()) {
        if (entry.second->Path() == Join(myMusic, L"Band\\mm.mp3")) kept += entry.second->GetDestPath() + L"|";
    }
    EXPECT_EQ("E:\\Music\\Band\\mm.mp3|", Narrow(kept)) << "once, by the My Music root";
    // Walked in the other order the shorter record is already there and stays;
    // walked twice from the same root the first record stays.
    ASSERT_TRUE(MakeFile(Src(L"sub\\a.mp3"), 4));
    worker.ResetTransferState();
    ASSERT_TRUE(worker.LoadExtensionTable());
    Scan(Src(L"sub"));
    ASSERT_EQ(1u, worker.GetCandidates().size());
    const CTransferFile* first = worker.GetCandidates().begin()->second;
    Scan(kSourceRoot);
    Scan(Src(L"sub"));
    ASSERT_EQ(1u, worker.GetCandidates().size());
    EXPECT_TRUE(first == worker.GetCandidates().begin()->second && first->GetDestPath() == L"E:\\Music\\a.mp3");
}

TEST_F(SearchTest, AChainOf120FoldersIsWalkedToTheBottomOnTheWorkerThread) {
    std::wstring path = L"C:\\qd";  // a short root of its own: folders are made only below 248 characters
    ASSERT_TRUE(DeleteTree(path) && MakeDirs(path));
    for (int i = 0; i < 120; ++i) ASSERT_TRUE(::CreateDirectoryW((path += L"\\d").c_str(), nullptr)) << i;
    ASSERT_TRUE(MakeFile(path + L"\\a.mp3", 3));
    SearchOnly({L"C:\\qd"});
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    EXPECT_EQ(3u, SizeOf(L"E:\\Music" + path.substr(5) + L"\\a.mp3")) << recorder.Describe();
    DeleteTree(L"C:\\qd");
}
