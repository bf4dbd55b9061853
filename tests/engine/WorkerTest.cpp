#include "EngineSupport.h"

#include <gtest/gtest.h>
#include <atomic>

using namespace qctest;

// This program's text allocator in place of the engine's: the test worker of
// the thread may refuse a text, as an exhausted heap would; texts out are counted.
namespace {
std::atomic<int> g_liveTexts{0};
}
wchar_t* AllocTransferText() {
    if (t_worker && t_worker->onText && !t_worker->onText()) return nullptr;
    ++g_liveTexts;
    return static_cast<wchar_t*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, kTransferTextBytes));
}
void FreeTransferText(wchar_t* text) {
    if (text) --g_liveTexts, ::HeapFree(::GetProcessHeap(), 0, text);
}

namespace {

std::wstring Song(int folder, const std::wstring& name) { return Src(std::to_wstring(folder) + L"\\" + name); }

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayer(), m_live = g_liveTexts; }
    void TearDown() override {
        recorder.Pump(0);
        EXPECT_EQ(m_live, g_liveTexts) << "texts leaked";
    }
    CTestThread worker;
    CRecorder recorder;
    int m_live = 0;
};

} // namespace

// The oldest first, equal stamps in found order; then nothing new.
TEST_F(WorkerTest, OldestFirstThenNothingNew) {
    const std::wstring order[] = {Song(2, L"two.mp3"), Song(1, L"one.mp3"), Song(3, L"three.wma")};
    const SYSTEMTIME jan5 = Utc(2007, 1, 5, 12, 0, 0), dec31 = Utc(2006, 12, 31, 23, 59, 59);
    ASSERT_TRUE(MakeFile(order[1], 10, &jan5) && MakeFile(order[0], 20, &dec31) && MakeFile(order[2], 30, &jan5));
    SearchOnly({Src(L"1"), Src(L"2"), Src(L"3")});
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    // One chunk each: the first chunk of a transfer posts no progress.
    const char* progress[] = {"", "POS(0,50)\n", "POS(0,100)\n"};
    const wchar_t* records[] = {L"20061231235959,20,\"", L"20070105120000,10,\"", L"20070105120000,30,\""};
    std::string expected = kSearched;
    std::vector<std::wstring> history;
    for (int i = 0; i < 3; ++i) {
        expected += Current(i + 1, 3, order[i]) + Line(0, IDS_LINE_TRANSFERRING, order[i]) + progress[i] +
                    Line(1, IDS_LINE_COMPLETE, order[i]);
        history.push_back(records[i] + order[i] + L"\"");
        EXPECT_TRUE(SameContent(order[i], L"E:\\Music" + order[i].substr(order[i].rfind(L'\\')))) << i;
    }
    EXPECT_EQ(expected + "POS(0,100)\nCOMPLETE(0,3)\n", recorder.Describe());
    EXPECT_EQ(history, HistoryLines());

    CRecorder again;
    EXPECT_EQ(0u, RunTransfer(worker, again));
    EXPECT_EQ(kSearched + "POS(0,100)\nCOMPLETE(0,0)\n", again.Describe());
}

TEST_F(WorkerTest, EachEndPostsOneEndMessageLast) {
    // 261 characters with its folder's backslash: the walk of the first root reports it with a line.
    const std::wstring a = Src(L"q\\a.mp3"), tooLong = Src(L"p\\" + std::wstring(238, L'p') + L"\\abcdef.mp3");
    using Setup = std::function<void(CTestThread&, CRecorder&)>;
    bool heldByBox = false;
    const struct { const char* name; Setup setup; std::string messages; unsigned exitCode; bool copied; } cases[] = {
        {"history unreadable", [](CTestThread&, CRecorder&) { WriteBytes(HistoryPath(), "20070101000000,1,\"C:\\a\"\r\n"); },
         "SEARCH_BEGIN(0,0)\n" + Box(IDS_READ_FAILED, kHistoryFileName) + "INTERRUPTED(0,0)\n", 1, false},
        {"empty Ext2", [](CTestThread&, CRecorder&) { WriteDeviceSetting(L"Settings", L"Ext2", L""); },
         "SEARCH_BEGIN(0,0)\nINTERRUPTED(0,0)\n", 1, false},
        // The first text the worker takes is the walk's line; the next entry ends the walk.
        {"stopped while the search walks",
         [&](CTestThread& w, CRecorder&) { w.onText = [&w] { return !w.Stop(CWorkThread::kStopNoWait, 0); }, MakeFile(tooLong, 1); },
         "SEARCH_BEGIN(0,0)\n" + Line(0, IDS_LINE_READ_FAILED, tooLong) + "CANCELED(0,0)\n", 1, false},
        // The pending line stays, and nothing of the song, partial or whole.
        {"stopped during a copy",
         [&](CTestThread& w, CRecorder& rec) {
             w.readDelayMs = 5;
             MakeFile(a, 8 << 20);
             rec.onMessage = [&w](const Posted& p) { p.message == WM_APP_SET_PROGRESS_POS && w.Stop(CWorkThread::kStopNoWait, 0); };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + "CANCELED(0,0)\n", 1, false},
        {"no room, and no memory for any text",
         [](CTestThread& w, CRecorder&) { w.onText = [] { return false; }, WriteDeviceSetting(L"DiskSpace", L"Margin", L"2000000000"); },
         kSearched + "CAPACITY_ERROR(1,0)\n", 1, false},
        // A folder in place of the history: it exists but cannot be written. The copy stays.
        {"history unwritable",
         [](CTestThread& w, CRecorder&) {
             w.beforeCopy = [](int) { ::DeleteFileW(HistoryPath().c_str()) && ::CreateDirectoryW(HistoryPath().c_str(), nullptr); };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + Box(IDS_CREATE_FAILED, kHistoryFileName) +
             "INTERRUPTED(0,0)\n", 1, true},
        // A stop waits for the box to be closed; ending the program releases that wait.
        {"stopped while a box is open, then shut down",
         [&](CTestThread& w, CRecorder& rec) {
             w.beforeCopy = [&](int) { ::DeleteFileW(a.c_str()); };
             rec.answerBoxes = false;
             rec.onMessage = [&](const Posted& p) {
                 if (p.message != WM_APP_MESSAGE_BOX) return;
                 w.Stop(CWorkThread::kStopNoWait, 0);
                 ::Sleep(400);
                 heldByBox = w.IsRunning() && w.Shutdown();
             };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + Line(1, IDS_LINE_READ_FAILED, a) +
             Box(IDS_SOURCE_MISSING, L"a.mp3") + "CANCELED(0,0)\n", 1, false},
        // Every post fails, and the box that cannot be shown holds nothing: the transfer goes through.
        {"window closed", [&](CTestThread& w, CRecorder& rec) { w.beforeCopy = [&](int) { ::DeleteFileW(a.c_str()); }, rec.Close(); },
         "", 0, false},
    };
    for (const auto& c : cases) {
        ResetPlayer();
        SearchOnly({Src(L"p"), Src(L"q")});
        ASSERT_TRUE(MakeFile(a, 10)) << c.name;
        CTestThread w;
        CRecorder rec;
        c.setup(w, rec);
        EXPECT_EQ(c.exitCode, RunTransfer(w, rec)) << c.name;
        EXPECT_EQ(c.messages, rec.Describe(WM_APP_SET_PROGRESS_POS)) << c.name;
        EXPECT_EQ(c.copied ? 1u : 0u, ListFolder(L"E:\\Music").size()) << c.name;
    }
    EXPECT_TRUE(heldByBox);
}
