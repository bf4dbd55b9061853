#include "EngineSupport.h"
#include "store/AppPaths.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <algorithm>
#include <map>

using namespace qctest;

namespace {

// Stands in for the drives of a machine.
class CDriveThread : public CTransferThread {
public:
    std::wstring drives;  // roots separated by '|'
    std::map<wchar_t, UINT> kinds;
    // A transfer that stops after its search, keeping what it found.
    unsigned Run(void* owner) override {
        BindReceiver(static_cast<CTransferReceiver*>(owner));
        ResetTransferState();
        return SearchFiles() ? 0 : 1;
    }

protected:
    UINT QueryDriveStrings(wchar_t* buffer) override {
        if (drives.empty()) return CTransferThread::QueryDriveStrings(buffer);
        UINT n = 0;
        for (wchar_t c : drives) buffer[n++] = c == L'|' ? L'\0' : c;
        buffer[n] = L'\0';
        buffer[n + 1] = L'\0';
        return n + 1;
    }
    UINT QueryDriveKind(const wchar_t* root) override {
        auto it = kinds.find(root[0]);
        return it == kinds.end() ? CTransferThread::QueryDriveKind(root) : it->second;
    }
};

class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
        worker.BindReceiver(&recorder);
    }
    // The search on this thread; it shows no box as long as the history loads.
    bool Search() {
        worker.ResetTransferState();
        bool ok = worker.SearchFiles();
        recorder.Pump(20);
        return ok;
    }
    std::vector<std::wstring> Found() const {
        std::vector<std::wstring> paths;
        for (const auto& entry : worker.GetCandidates()) paths.push_back(entry.second->Path());
        return paths;
    }
    static std::wstring Src(const std::wstring& rest) { return Join(kSourceRoot, rest); }

    CDriveThread worker;
    CRecorder recorder;
};

std::wstring My(const wchar_t* rest) {
    std::wstring folder;
    GetMyMusicFolder(folder);
    return Join(folder, rest);
}

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
        {"unknown and rootless kinds are dropped", L"C:\\|E:\\",
         {{L'C', DRIVE_UNKNOWN}}, true, {}},
        {"a kind above 6 fails the search", L"C:\\", {{L'C', 7}}, false, {}},
    };
    for (const Case& c : cases) {
        CDriveThread w;
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
    std::wstring tooLong = L"C:\\" + std::wstring(260, L'x');
    WriteComputerSetting(L"MyMusic", L"2");  // any number but 0 is on
    WriteComputerSetting(L"DeskTop", L"0");
    WriteComputerSetting(L"SelectedFolders", L"1");
    WriteComputerSetting(L"FolderCount", L"5");
    WriteComputerSetting(L"Folder1", L"\"E:\\Backup\"");
    WriteComputerSetting(L"Folder2", L"\"C:\\qcsrc\\missing\"");
    WriteComputerSetting(L"Folder3", (L"\"" + tooLong + L"\"").c_str());
    WriteComputerSetting(L"Folder4", L"\"C:\\qcsrc\\listed\"");
    WriteComputerSetting(L"Folder6", L"\"C:\\qcsrc\"");  // beyond FolderCount
    ASSERT_TRUE(worker.BuildSearchRoots());
    std::wstring myMusic;
    ASSERT_TRUE(GetMyMusicFolder(myMusic));
    EXPECT_EQ((std::vector<std::wstring>{myMusic, L"C:\\qcsrc\\listed"}), worker.GetSearchRoots());

    WriteComputerSetting(L"MyMusic", L"0");
    WriteComputerSetting(L"DeskTop", L"1");
    WriteComputerSetting(L"SelectedFolders", L"0");
    CDriveThread desk;
    ASSERT_TRUE(desk.BuildSearchRoots());
    std::wstring user, common;
    ASSERT_TRUE(GetDesktopFolder(1, user));
    ASSERT_TRUE(GetDesktopFolder(0, common));
    EXPECT_EQ((std::vector<std::wstring>{user, common}), desk.GetSearchRoots());
}

TEST_F(SearchTest, ExtensionTableAndCapacityKeys) {
    WriteDeviceSetting(L"Settings", L"ExtCount", L"4");
    WriteDeviceSetting(L"Settings", L"Ext1", L"\"MP3\"");
    WriteDeviceSetting(L"Settings", L"Path1", L"\"Music\\Pop\"");
    WriteDeviceSetting(L"Settings", L"Ext2", L"\"mp3\"");
    WriteDeviceSetting(L"Settings", L"Path2", L"\"Other\"");
    WriteDeviceSetting(L"Settings", L"Ext3", L"\"Wma\"");
    WriteDeviceSetting(L"Settings", L"Path3", L"\"\"");
    WriteDeviceSetting(L"Settings", L"Ext4", L"\"ogg\"");
    WriteDeviceSetting(L"Settings", L"Path4", L"\"Music\\\"");
    ASSERT_TRUE(worker.LoadExtensionTable());
    EXPECT_EQ((CTransferThread::ExtensionTable{{L".mp3", L"E:\\Music\\Pop\\"}, {L".wma", L"E:\\"},
                                               {L".ogg", L"E:\\Music\\"}}),
              worker.GetExtensionTable());
    struct Name {
        const wchar_t* name;
        bool target;
    } names[] = {{L"Song.MP3", true}, {L"mp3", false}, {L"song.mp3.txt", false}, {L"a.b.wma", true},
                 {L".ogg", true},     {L"song.", false}, {L"noext", false}};
    for (const Name& n : names) EXPECT_EQ(n.target, worker.IsTransferTarget(n.name)) << Narrow(n.name);

    CDriveThread empty;
    WriteDeviceSetting(L"Settings", L"ExtCount", L"2");
    WriteDeviceSetting(L"Settings", L"Ext2", L"");
    EXPECT_FALSE(empty.LoadExtensionTable()) << "an empty Ext2 fails the search";
    EXPECT_EQ(1, empty.GetErrorFlg());

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
        wchar_t text[32];
        ::GetPrivateProfileStringW(L"DiskSpace", L"SizeType", L"-", text, 32, DeviceIniPath().c_str());
        EXPECT_EQ(c.sizeTypeAfter, Narrow(text)) << c.name;
        ::GetPrivateProfileStringW(L"DiskSpace", L"Margin", L"-", text, 32, DeviceIniPath().c_str());
        EXPECT_EQ(c.marginAfter, Narrow(text)) << c.name;
    }
}

TEST_F(SearchTest, TheWalkSkipsHiddenAndSystemEntriesAndRepeatsFolders) {
    SearchOnly(kSourceRoot);
    ASSERT_TRUE(MakeFile(Src(L"Artist\\Album\\Song.MP3"), 5));
    ASSERT_TRUE(MakeFile(Src(L"top.wma"), 6));
    ASSERT_TRUE(MakeFile(Src(L"mp3"), 7));
    ASSERT_TRUE(MakeFile(Src(L"notes.txt"), 8));
    ASSERT_TRUE(MakeFile(Src(L"Hidden\\inside.mp3"), 9));
    ASSERT_TRUE(MakeFile(Src(L"hidden.mp3"), 10));
    ASSERT_TRUE(MakeFile(Src(L"system.mp3"), 11));
    ::SetFileAttributesW(Src(L"Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(Src(L"hidden.mp3").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(Src(L"system.mp3").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(Search());
    std::map<std::wstring, std::wstring> found;
    for (const auto& entry : worker.GetCandidates()) found[entry.second->Path()] = entry.second->GetDestPath();
    EXPECT_EQ((std::map<std::wstring, std::wstring>{{Src(L"Artist\\Album\\Song.MP3"), L"E:\\Music\\Artist\\Album\\Song.MP3"},
                                                    {Src(L"top.wma"), L"E:\\Music\\top.wma"}}),
              found);
    for (const auto& entry : worker.GetCandidates()) {
        ULONGLONG expectedSize = entry.second->Path() == Src(L"top.wma") ? 6 : 5;
        EXPECT_EQ(expectedSize, entry.second->GetFileSize()) << Narrow(entry.second->Path());
        EXPECT_EQ(14u, entry.first.size());
    }
    EXPECT_TRUE(recorder.messages.empty()) << recorder.Describe();
}

TEST_F(SearchTest, ALongPathGivesAFailureLineAndTheWalkGoesOn) {
    // A folder prefix of 250 characters: 250 + 10 + 1 exceeds 260, 250 + 9 + 1 does not.
    std::wstring folder = Src(std::wstring(249 - 9, L'p'));
    ASSERT_EQ(249u, folder.size());
    ASSERT_TRUE(MakeFile(folder + L"\\abcde.mp3", 1));
    ASSERT_TRUE(MakeFile(folder + L"\\abcdef.mp3", 1)) << "260-character path";
    worker.SetCurrentSearchRoot(kSourceRoot);
    ASSERT_TRUE(worker.LoadExtensionTable());
    ASSERT_TRUE(worker.ScanFolder(kSourceRoot));
    ASSERT_TRUE(worker.ScanFolder(Src(L"missing")));
    recorder.Pump(20);
    EXPECT_EQ((std::vector<std::wstring>{folder + L"\\abcde.mp3"}), Found());
    ASSERT_EQ(2u, recorder.messages.size()) << recorder.Describe();
    std::wstring lines[] = {folder + L"\\abcdef.mp3", Src(L"missing")};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(static_cast<UINT>(WM_APP_LOG_LINE), recorder.messages[i].message);
        EXPECT_EQ(0u, recorder.messages[i].wParam) << "a new line";
        EXPECT_EQ(Narrow(L"Transferring " + lines[i] + L" ... Failed. (Source file could not be read.)"),
                  Narrow(recorder.messages[i].text));
    }
}

TEST_F(SearchTest, AChainOf120FoldersIsWalkedToTheBottomOnTheWorkerThread) {
    // A short root of its own: folders are made only below 248 characters.
    const std::wstring root = L"C:\\qd";
    DeleteTree(root);
    std::wstring path = root;
    ASSERT_TRUE(MakeDirs(root));
    for (int i = 0; i < 120; ++i) {
        path += L"\\d";
        ASSERT_TRUE(::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS) << i;
    }
    ASSERT_TRUE(MakeFile(path + L"\\a.mp3", 3));
    SearchOnly(root);
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    EXPECT_EQ((std::vector<std::wstring>{path + L"\\a.mp3"}), Found());
    DeleteTree(root);
}

TEST_F(SearchTest, OverlappingRootsKeepTheShorterDestinationOrTheFirstFound) {
    WriteComputerSetting(L"AllFolders", L"1");
    WriteComputerSetting(L"MyMusic", L"1");
    worker.drives = L"C:\\";
    ASSERT_TRUE(MakeFile(My(L"Band\\mm.mp3"), 4));
    ASSERT_TRUE(Search());
    // Drive C: may hold other music of other tests; only this file counts here.
    std::vector<const CTransferFile*> kept;
    for (const auto& entry : worker.GetCandidates()) {
        if (entry.second->Path() == My(L"Band\\mm.mp3")) kept.push_back(entry.second);
    }
    ASSERT_EQ(1u, kept.size()) << "found under C:\\ and under My Music, kept once";
    EXPECT_EQ("E:\\Music\\Band\\mm.mp3", Narrow(kept[0]->GetDestPath())) << "the record of the My Music root";
    ::DeleteFileW(My(L"Band\\mm.mp3").c_str());
    ::RemoveDirectoryW(My(L"Band").c_str());

    // Walked in the other order the shorter record is already there and stays;
    // walked twice from the same root the first record stays.
    ASSERT_TRUE(MakeFile(Src(L"sub\\a.mp3"), 4));
    worker.ResetTransferState();
    ASSERT_TRUE(worker.LoadExtensionTable());
    worker.SetCurrentSearchRoot(Src(L"sub"));
    ASSERT_TRUE(worker.ScanFolder(Src(L"sub")));
    ASSERT_EQ(1u, worker.GetCandidates().size());
    const CTransferFile* first = worker.GetCandidates().begin()->second;
    worker.SetCurrentSearchRoot(kSourceRoot);
    ASSERT_TRUE(worker.ScanFolder(kSourceRoot));
    worker.SetCurrentSearchRoot(Src(L"sub"));
    ASSERT_TRUE(worker.ScanFolder(Src(L"sub")));
    ASSERT_EQ(1u, worker.GetCandidates().size());
    EXPECT_EQ(first, worker.GetCandidates().begin()->second);
    EXPECT_EQ("E:\\Music\\a.mp3", Narrow(first->GetDestPath()));
}

TEST_F(SearchTest, TheHistoryDropsKnownFilesOnly) {
    SearchOnly(kSourceRoot);
    const SYSTEMTIME when = Utc(2007, 3, 14, 9, 30, 5);
    ASSERT_TRUE(MakeFile(Src(L"Known.mp3"), 100, &when));
    ASSERT_TRUE(MakeFile(Src(L"case.mp3"), 100, &when));
    ASSERT_TRUE(MakeFile(Src(L"touched.mp3"), 100, &when));
    ASSERT_TRUE(MakeFile(Src(L"grown.mp3"), 101, &when));
    ASSERT_TRUE(MakeFile(Src(L"new.mp3"), 100, &when));
    std::wstring text = L"\xFEFF";
    text += L"20070314093005,100,\"" + Src(L"Known.mp3") + L"\"\r\n";
    text += L"20070314093005,100,\"" + Src(L"CASE.MP3") + L"\"\r\n";
    text += L"20070314093004,100,\"" + Src(L"touched.mp3") + L"\"\r\n";
    text += L"20070314093005,100,\"" + Src(L"grown.mp3") + L"\"\r\n";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    ASSERT_TRUE(WriteBytes(HistoryPath(), bytes));
    ASSERT_TRUE(Search());
    std::vector<std::wstring> found = Found();
    std::sort(found.begin(), found.end());
    EXPECT_EQ((std::vector<std::wstring>{Src(L"grown.mp3"), Src(L"new.mp3"), Src(L"touched.mp3")}), found);
}

TEST_F(SearchTest, AStopEndsTheWalkWithoutError) {
    SearchOnly(kSourceRoot);
    ASSERT_TRUE(MakeFile(Src(L"a.mp3"), 1));
    ASSERT_TRUE(worker.LoadExtensionTable());
    worker.Stop(CWorkThread::kStopNoWait, 0);
    EXPECT_FALSE(worker.ScanFolder(kSourceRoot));
    EXPECT_FALSE(worker.SearchFiles());
    EXPECT_EQ(0, worker.GetErrorFlg());
    EXPECT_TRUE(worker.GetCandidates().empty());
}
