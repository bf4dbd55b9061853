#include "EngineSupport.h"
#include "store/AppPaths.h"

#include <gtest/gtest.h>
#include <map>

using namespace qctest;

namespace {

using Settings = std::initializer_list<std::pair<const wchar_t*, std::wstring>>;
void PcSettings(Settings keys) {
    for (const auto& k : keys) WriteComputerSetting(k.first, k.second.c_str());
}
void DeviceSettings(Settings keys) {
    for (const auto& k : keys) WriteDeviceSetting(L"Settings", k.first, k.second.c_str());
}

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
        worker.BindReceiver(&recorder);
        worker.searchOnly = true;
    }
    // The search on this thread; it shows no box as long as the history loads.
    bool Search() {
        worker.ResetTransferState();
        bool ok = worker.SearchFiles();
        recorder.Pump(20);
        return ok;
    }
    // Walks the folder as if it were the search root.
    void Scan(const std::wstring& root) {
        worker.SetCurrentSearchRoot(root);
        ASSERT_TRUE(worker.ScanFolder(root)) << Narrow(root);
    }
    CTestThread worker;
    CRecorder recorder;
};

} // namespace

TEST_F(SearchTest, DrivesAreFilteredByNameKindAndMedium) {
    WriteComputerSetting(L"AllFolders", L"1");
    struct Case {
        const char* name;
        std::wstring drives;
        std::map<wchar_t, UINT> kinds;
        bool ok;
        std::vector<std::wstring> roots;
    } cases[] = {
        // Q: stands for a CD-ROM drive without a disc (no such folder here).
        {"A:, C:, an empty CD-ROM and the player", L"A:\\|C:\\|Q:\\|E:\\",
         {{L'A', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'Q', DRIVE_CDROM}, {L'E', DRIVE_REMOVABLE}}, true, {L"C:\\"}},
        {"b: and the player in lower case", L"b:\\|c:\\|e:\\", {{L'b', DRIVE_REMOVABLE}, {L'c', DRIVE_FIXED}}, true,
         {L"c:\\"}},
        {"unknown and rootless kinds are dropped", L"C:\\|E:\\", {{L'C', DRIVE_UNKNOWN}}, true, {}},
        {"a kind above 6 fails the search", L"C:\\", {{L'C', 7}}, false, {}},
    };
    for (const Case& c : cases) {
        CTestThread w;
        w.drives = c.drives;
        w.kinds = c.kinds;
        w.BindReceiver(&recorder);
        EXPECT_EQ(c.ok, w.BuildSearchRoots()) << c.name;
        EXPECT_EQ(c.ok ? 0 : 1, w.GetErrorFlg()) << c.name;
        if (c.ok) {
            EXPECT_EQ(c.roots, w.GetSearchRoots()) << c.name;
        }
    }
}

TEST_F(SearchTest, RootsFromTheFlagsAndTheListedFolders) {
    ASSERT_TRUE(MakeDirs(L"E:\\Backup"));
    ASSERT_TRUE(MakeDirs(Src(L"listed")));
    // MyMusic: any number but 0 is on; Folder5 is no drive path; Folder6 lies beyond FolderCount.
    PcSettings({{L"MyMusic", L"2"}, {L"DeskTop", L"0"}, {L"SelectedFolders", L"1"}, {L"FolderCount", L"5"},
              {L"Folder1", L"\"E:\\Backup\""}, {L"Folder2", L"\"C:\\qcsrc\\missing\""},
              {L"Folder3", L"\"C:\\" + std::wstring(260, L'x') + L"\""}, {L"Folder4", L"\"C:\\qcsrc\\listed\""},
              {L"Folder5", L"\"\\\\?\\C:\\qcsrc\\listed\""}, {L"Folder6", L"\"C:\\qcsrc\""}});
    ASSERT_TRUE(worker.BuildSearchRoots());
    std::wstring myMusic, user, common;
    ASSERT_TRUE(GetMyMusicFolder(myMusic));
    EXPECT_EQ((std::vector<std::wstring>{myMusic, L"C:\\qcsrc\\listed"}), worker.GetSearchRoots());

    PcSettings({{L"MyMusic", L"0"}, {L"DeskTop", L"1"}, {L"SelectedFolders", L"0"}});
    CTestThread desk;
    ASSERT_TRUE(desk.BuildSearchRoots());
    ASSERT_TRUE(GetDesktopFolder(1, user));
    ASSERT_TRUE(GetDesktopFolder(0, common));
    EXPECT_EQ((std::vector<std::wstring>{user, common}), desk.GetSearchRoots());
}

TEST_F(SearchTest, ExtensionTableAndCapacityKeys) {
    DeviceSettings({{L"ExtCount", L"4"}, {L"Ext1", L"\"MP3\""}, {L"Path1", L"\"Music\\Pop\""},
                         {L"Ext2", L"\"mp3\""}, {L"Path2", L"\"Other\""}, {L"Ext3", L"\"Wma\""}, {L"Path3", L"\"\""},
                         {L"Ext4", L"\"ogg\""}, {L"Path4", L"\"Music\\\""}});
    ASSERT_TRUE(worker.LoadExtensionTable());
    EXPECT_EQ((CTransferThread::ExtensionTable{{L".mp3", L"E:\\Music\\Pop\\"}, {L".wma", L"E:\\"},
                                               {L".ogg", L"E:\\Music\\"}}),
              worker.GetExtensionTable());
    for (const wchar_t* name : {L"Song.MP3", L"a.b.wma", L".ogg"}) {
        EXPECT_TRUE(worker.IsTransferTarget(name)) << Narrow(name);
    }
    for (const wchar_t* name : {L"mp3", L"song.mp3.txt", L"song.", L"noext"}) {
        EXPECT_FALSE(worker.IsTransferTarget(name)) << Narrow(name);
    }

    struct Capacity {
        const char* name;
        const wchar_t *sizeType, *margin;
        const char *sizeTypeAfter, *marginAfter;
        ULONGLONG reserve;
    } capacities[] = {
        {"keys missing", nullptr, nullptr, "2", "20", 20971520ull},
        {"kilobytes", L"1", L"512", "1", "512", 524288ull},
        {"unit above 2 counts gigabytes", L"7", L"1", "7", "1", 1073741824ull},
        {"not a number", L"0", L"12abc", "0", "12", 12ull},
    };
    for (const Capacity& c : capacities) {
        WriteDeviceSetting(L"DiskSpace", L"SizeType", c.sizeType);
        WriteDeviceSetting(L"DiskSpace", L"Margin", c.margin);
        SetFreeSpaceMargin(0, 0);
        ASSERT_TRUE(worker.LoadCapacitySettings()) << c.name;
        EXPECT_EQ(c.reserve, GetFreeSpaceMargin()) << c.name;
        wchar_t type[32], margin[32];
        ::GetPrivateProfileStringW(L"DiskSpace", L"SizeType", L"-", type, 32, DeviceIniPath().c_str());
        ::GetPrivateProfileStringW(L"DiskSpace", L"Margin", L"-", margin, 32, DeviceIniPath().c_str());
        EXPECT_EQ(std::string(c.sizeTypeAfter) + "," + c.marginAfter, Narrow(type) + "," + Narrow(margin)) << c.name;
    }
    // A UTF-16 file cut inside its last character is read but not written
    // back, which would complete that character with a stray byte.
    WriteDeviceSetting(L"DiskSpace", nullptr, nullptr);
    std::string torn, after;
    ASSERT_TRUE(ReadBytes(DeviceIniPath(), torn));
    torn.resize(torn.size() - 1);
    ASSERT_TRUE(WriteBytes(DeviceIniPath(), torn));
    ASSERT_TRUE(worker.LoadCapacitySettings());
    EXPECT_EQ(20971520ull, GetFreeSpaceMargin());
    EXPECT_TRUE(ReadBytes(DeviceIniPath(), after) && after == torn);
}

TEST_F(SearchTest, TheWalkCollectsNewTargetsBelowTheLengthLimitAndRepeatsTheirFolders) {
    SearchOnly(kSourceRoot);
    const SYSTEMTIME when = Utc(2007, 3, 14, 9, 30, 5);
    // A folder prefix of 250 characters: 250 + 10 + 1 exceeds 260, 250 + 9 + 1 does not.
    const std::wstring deep = std::wstring(240, L'p') + L"\\abcde";
    ASSERT_EQ(249u, Src(deep).size() - 6);
    struct File {
        std::wstring path;
        DWORD attributes;
        bool found;
    } files[] = {
        {L"Artist\\Album\\Song.MP3", 0, true}, {L"top.wma", 0, true}, {L"mp3", 0, false}, {L"notes.txt", 0, false},
        {L"Hidden\\inside.mp3", 0, false}, {L"hidden.mp3", FILE_ATTRIBUTE_HIDDEN, false},
        {L"system.mp3", FILE_ATTRIBUTE_SYSTEM, false}, {deep + L".mp3", 0, true}, {deep + L"f.mp3", 0, false},
        // In the history by another letter case; with another stamp, size or a longer path.
        {L"Known.mp3", 0, false}, {L"touched.mp3", 0, true}, {L"grown.mp3", 0, true}, {L"new.mp3", 0, true},
    };
    std::map<std::wstring, std::wstring> expected;
    for (const File& f : files) {
        ASSERT_TRUE(MakeFile(Src(f.path), 5 + f.path.size(), &when)) << Narrow(f.path);
        if (f.attributes) ::SetFileAttributesW(Src(f.path).c_str(), f.attributes);
        if (f.found) expected[Src(f.path)] = L"E:\\Music\\" + f.path;
    }
    ::SetFileAttributesW(Src(L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    std::wstring history;
    for (const wchar_t* line : {L"20070314093005,14,KNOWN.MP3", L"20070314093004,16,touched.mp3",
                                L"20070314093005,15,grown.mp3", L"20070314093005,12,new.mp33"}) {
        history += std::wstring(line, 18) + L"\"" + Src(line + 18) + L"\"\r\n";
    }
    ASSERT_TRUE(WriteUtf16File(HistoryPath(), history));
    ASSERT_TRUE(Search());
    std::map<std::wstring, std::wstring> found;
    for (const auto& entry : worker.GetCandidates()) {
        found[entry.second->Path()] = entry.second->GetDestPath();
        EXPECT_EQ(SizeOf(entry.second->Path()), entry.second->GetFileSize()) << Narrow(entry.second->Path());
        EXPECT_EQ("20070314093005", Narrow(entry.first)) << Narrow(entry.second->Path());
    }
    EXPECT_EQ(expected, found);
    // A folder that cannot be walked gives the same line.
    Scan(Src(L"missing"));
    recorder.Pump(20);
    EXPECT_EQ("LOG(0) " + LogLine(Src(deep + L"f.mp3"), L"Failed. (Source file could not be read.)") + "\nLOG(0) " +
                  LogLine(Src(L"missing"), L"Failed. (Source file could not be read.)") + "\n",
              recorder.Describe());

    // A stop ends the walk, not as an error.
    worker.ResetTransferState();
    worker.Stop(CWorkThread::kStopNoWait, 0);
    EXPECT_FALSE(worker.ScanFolder(kSourceRoot));
    EXPECT_EQ(0, worker.GetErrorFlg());
    EXPECT_TRUE(worker.GetCandidates().empty());
}

TEST_F(SearchTest, AChainOf120FoldersIsWalkedToTheBottomOnTheWorkerThread) {
    // A short root of its own: folders are made only below 248 characters.
    const std::wstring root = L"C:\\qd";
    DeleteTree(root);
    std::wstring path = root;
    ASSERT_TRUE(MakeDirs(root));
    for (int i = 0; i < 120; ++i) ASSERT_TRUE(::CreateDirectoryW((path += L"\\d").c_str(), nullptr)) << i;
    ASSERT_TRUE(MakeFile(path + L"\\a.mp3", 3));
    SearchOnly(root);
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    ASSERT_EQ(1u, worker.GetCandidates().size());
    EXPECT_EQ(Narrow(path + L"\\a.mp3"), Narrow(worker.GetCandidates().begin()->second->Path()));
    DeleteTree(root);
}

TEST_F(SearchTest, OverlappingRootsKeepTheShorterDestinationOrTheFirstFound) {
    std::wstring myMusic;
    ASSERT_TRUE(GetMyMusicFolder(myMusic));
    const std::wstring song = Join(myMusic, L"Band\\mm.mp3");
    PcSettings({{L"AllFolders", L"1"}, {L"MyMusic", L"1"}});
    worker.drives = L"C:\\";
    ASSERT_TRUE(MakeFile(song, 4));
    ASSERT_TRUE(Search());
    DeleteTree(Join(myMusic, L"Band"));
    // Drive C: may hold other music of other tests; only this file counts here.
    std::vector<const CTransferFile*> kept;
    for (const auto& entry : worker.GetCandidates()) {
        if (entry.second->Path() == song) kept.push_back(entry.second);
    }
    ASSERT_EQ(1u, kept.size()) << "found under C:\\ and under My Music, kept once";
    EXPECT_EQ("E:\\Music\\Band\\mm.mp3", Narrow(kept[0]->GetDestPath())) << "the record of the My Music root";

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
    EXPECT_EQ(first, worker.GetCandidates().begin()->second);
    EXPECT_EQ("E:\\Music\\a.mp3", Narrow(first->GetDestPath()));
}
