#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <atomic>

using namespace qctest;

// This program's text allocator in place of the engine's: the test worker of
// the thread may refuse a text, as an exhausted heap would; texts out are counted.
static std::atomic<int> g_liveTexts{0};
wchar_t* AllocTransferText() {
    if (t_worker && t_worker->onText && !t_worker->onText()) return nullptr;
    ++g_liveTexts;
    return static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, kTransferTextBytes));
}
void FreeTransferText(wchar_t* text) {
    if (text) --g_liveTexts, ::HeapFree(::GetProcessHeap(), 0, text);
}

TEST(Worker, EachEndPostsOneEndMessageLast) {
    // 261 characters with its folder's backslash: the walk of each root reports one with a line.
    const std::wstring a = Src(L"q\\a.mp3"), tooLong = Src(L"p\\" + std::wstring(238, L'p') + L"\\abcdef.mp3");
    using W = CTestThread;
    using R = CRecorder;
    const int now = CWorkThread::kStopNoWait, live = g_liveTexts;
    bool heldByBox = false;
    struct Case { const char* name; std::function<void(W&, R&)> setup; std::string messages; unsigned exitCode; size_t copied; };
    const SYSTEMTIME jan5 = Utc(2007, 1, 5, 12, 0, 0), dec31 = Utc(2006, 12, 31, 23, 59, 59);
    const std::wstring b = Src(L"p\\b.mp3"), z = Src(L"q\\z.mp3");
    const Case cases[] = {
        // The oldest first, equal stamps in found order; the first chunk of a transfer posts no progress.
        {"three songs",
         [&](W&, R&) { MakeFile(b, 20, &jan5), MakeFile(a, 10, &jan5), MakeFile(z, 30, &dec31); },
         kSearched + Current(1, 3, z) + Line(0, IDS_LINE_TRANSFERRING, z) + Line(1, IDS_LINE_COMPLETE, z) +
             Current(2, 3, b) + Line(0, IDS_LINE_TRANSFERRING, b) + "POS(0,83)\n" + Line(1, IDS_LINE_COMPLETE, b) +
             Current(3, 3, a) + Line(0, IDS_LINE_TRANSFERRING, a) + "POS(0,100)\n" + Line(1, IDS_LINE_COMPLETE, a) +
             "POS(0,100)\nCOMPLETE(0,3)\n", 0, 3},
        // The first text the worker takes is the walk's line: the next entry, with no song found since, ends the walk.
        {"stopped while the search walks",
         [&](W& w, R&) {
             w.onText = [&] { return !w.Stop(now, 0); };
             MakeFile(tooLong, 1), MakeFile(Src(L"q\\" + std::wstring(238, L'q') + L"\\abcdef.mp3"), 1);
             ::DeleteFileW(a.c_str());
         },
         "SEARCH_BEGIN(0,0)\n" + Line(0, IDS_LINE_READ_FAILED, tooLong) + "CANCELED(0,0)\n", 1, 0},
        // The pending line stays, and nothing of the song, partial or whole.
        {"stopped during a copy",
         [&](W& w, R& rec) {
             w.readDelayMs = 5;
             MakeFile(a, 8 << 20);
             rec.onMessage = [&](const Posted& p) {  // how many figures come before the stop does not matter
                 if (p.message == WM_APP_SET_PROGRESS_POS) w.Stop(now, 0), rec.messages.pop_back();
             };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + "CANCELED(0,0)\n", 1, 0},
        {"no room, and no memory for any text",
         [](W& w, R&) { w.onText = [] { return false; }, WriteDeviceSetting(L"DiskSpace", L"Margin", L"999999999"); },
         kSearched + "CAPACITY_ERROR(1,0)\n", 1, 0},
        // A folder in place of the history: it exists but cannot be written. The copy stays.
        {"history unwritable",
         [](W& w, R&) {
             const std::wstring history = HistoryPath();
             w.beforeCopy = [=](int) { ::DeleteFileW(history.c_str()) && ::CreateDirectoryW(history.c_str(), 0); };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + Box(IDS_CREATE_FAILED, kHistoryFileName) +
             "INTERRUPTED(0,0)\n", 1, 1},
        // A stop waits for the box to be closed; ending the program releases that wait.
        {"stopped while a box is open, then shut down",
         [&](W& w, R& rec) {
             w.beforeCopy = [&](int) { ::DeleteFileW(a.c_str()); };
             rec.answerBoxes = false;
             rec.onMessage = [&](const Posted& p) {
                 if (p.message != WM_APP_MESSAGE_BOX) return;
                 w.Stop(now, 0);
                 ::Sleep(400);
                 heldByBox = w.IsRunning() && w.Shutdown();
             };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + Line(1, IDS_LINE_READ_FAILED, a) +
             Box(IDS_SOURCE_MISSING, L"a.mp3") + "CANCELED(0,0)\n", 1, 0},
        // Every post fails, and the box that cannot be shown holds nothing: the transfer goes through.
        {"window closed", [&](W& w, R& rec) { w.beforeCopy = [&](int) { ::DeleteFileW(a.c_str()); }, rec.Close(); },
         "", 0, 0},
    };
    for (const auto& c : cases) {
        ResetPlayer();
        SearchOnly({Src(L"p"), Src(L"q")});
        ASSERT_TRUE(MakeFile(a, 10)) << c.name;
        CTestThread w;
        CRecorder rec;
        c.setup(w, rec);
        EXPECT_EQ(c.exitCode, RunTransfer(w, rec)) << c.name;
        EXPECT_EQ(c.messages, rec.Describe()) << c.name;
        EXPECT_EQ(c.copied, ListFolder(L"E:\\Music").size()) << c.name;
        EXPECT_EQ(live, g_liveTexts) << c.name << ": texts leaked";
    }
    EXPECT_TRUE(heldByBox);
}

TEST(CopyRules, MegabytesStillNeeded) {
    // Whole megabytes remaining minus usable, plus one for a whole kilobyte below a megabyte; never below 1.
    const ULONGLONG MB = 1048576, needed[][3] = {{20 * MB + 1024, 5, 16}, {20 * MB + 1000, 5, 15}, {3 * MB, 5, 1}};
    for (const auto& c : needed) EXPECT_EQ(c[2], MegabytesStillNeeded(c[0], c[1])) << c[0] << " " << c[1];
}

// A UTF-16 file cut inside its last character is read but not written back,
// which would complete that character with a stray byte. Every drive searched
// leaves out the player, whose songs would otherwise be copied onto itself.
TEST(Search, TheReserveOfATornSettingsFileAndAllDrivesButThePlayer) {
    ResetPlayer();
    CTestThread worker;
    WriteComputerSetting(L"AllFolders", L"1");
    worker.drives = L"C:\\|e:\\";
    EXPECT_TRUE(worker.BuildSearchRoots() && worker.GetSearchRoots() == std::vector<std::wstring>{L"C:\\"});
    std::string torn, after;
    WriteDeviceSetting(L"DiskSpace", L"SizeType", L"1"), WriteDeviceSetting(L"DiskSpace", L"Margin", L"12abc");
    ASSERT_TRUE(ReadBytes(DeviceIniPath(), torn));
    torn.pop_back();
    ASSERT_TRUE(WriteBytes(DeviceIniPath(), torn) && worker.LoadCapacitySettings());
    EXPECT_TRUE(GetFreeSpaceMargin() == 12 * 1024 && ReadBytes(DeviceIniPath(), after) && after == torn);
}

// A copy stuck in a system call that never returns (an unreachable drive):
// ending the program waits 10 s for the worker and then leaves it alone.
TEST(Worker, ShutdownGivesUpOnAThreadThatNeverReturns) {
    ResetPlayer();
    SearchOnly({Src(L"q")});
    ASSERT_TRUE(MakeFile(Src(L"q\\a.mp3"), 10));
    std::atomic<bool> stuck{false};
    auto* worker = new CTestThread;
    worker->beforeCopy = [&](int) { stuck = true, ::Sleep(INFINITE); };
    CRecorder recorder;
    ASSERT_EQ(0, worker->Start(&recorder));
    for (DWORD begin = ::GetTickCount(); !stuck && ::GetTickCount() - begin < 30000;) recorder.Pump(10);
    ASSERT_TRUE(stuck);
    const DWORD begin = ::GetTickCount();
    delete worker;
    EXPECT_LT(::GetTickCount() - begin, 20000u) << "the program would never end";
}
