#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <thread>

using namespace qctest;

namespace {

std::wstring Song(int folder, const std::wstring& name) { return Src(std::to_wstring(folder) + L"\\" + name); }

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetPlayer(), m_live = LiveTexts(); }
    void TearDown() override {
        recorder.Pump(0);
        EXPECT_EQ(m_live, LiveTexts()) << "texts leaked";
    }
    CTestThread worker;
    CRecorder recorder;
    int m_live = 0;
};

} // namespace

// Three transfers of one worker: the oldest first, equal stamps in found
// order; twenty more, one gone missing; then nothing new.
TEST_F(WorkerTest, OldestFirstThenTheRestThenNothingNew) {
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

    SearchOnly({Src(L"1"), Src(L"2"), Src(L"3"), Src(L"4")});
    expected = kSearched;
    for (WORD i = 1; i <= 20; ++i) {
        const SYSTEMTIME when = Utc(2008, 1, 1, 0, 0, i);
        const std::wstring song = Song(4, L"f" + std::to_wstring(i) + L".mp3");
        ASSERT_TRUE(MakeFile(song, i, &when));
        expected += Current(i, 20, song) + Line(0, IDS_LINE_TRANSFERRING, song) +
                    (i == 2 ? Line(1, IDS_LINE_READ_FAILED, song) + Box(IDS_SOURCE_MISSING, L"f2.mp3")
                            : Line(1, IDS_LINE_COMPLETE, song));
    }
    worker.beforeCopy = [](int i) { i == 1 && ::DeleteFileW(Song(4, L"f2.mp3").c_str()); };
    CRecorder second, third;
    EXPECT_EQ(0u, RunTransfer(worker, second));
    EXPECT_EQ(expected + "COMPLETE(0,19)\n", second.Describe(WM_APP_SET_PROGRESS_POS));
    // 22 history lines, past the first size of the index that matches them: no song is copied again as "x (02)".
    EXPECT_EQ(0u, RunTransfer(worker, third));
    EXPECT_EQ(kSearched + "POS(0,100)\nCOMPLETE(0,0)\n", third.Describe());
    EXPECT_TRUE(HistoryLines().size() == 22 && ListFolder(L"E:\\Music").size() == 22);
}

TEST_F(WorkerTest, EachEndPostsOneEndMessageLast) {
    // 261 characters with its folder's backslash: the walk of the first root reports it with a line.
    const std::wstring a = Src(L"q\\a.mp3"), tooLong = Src(L"p\\" + std::wstring(238, L'p') + L"\\abcdef.mp3");
    const struct {
        const char* name;
        std::function<void(CTestThread&, CRecorder&)> setup;
        std::string messages;
        unsigned exitCode;
        bool copied;
    } cases[] = {
        {"history unreadable", [&](CTestThread&, CRecorder&) { WriteBytes(HistoryPath(), "20070101000000,1,\"C:\\a\"\r\n"); },
         "SEARCH_BEGIN(0,0)\n" + Box(IDS_READ_FAILED, kHistoryFileName) + "INTERRUPTED(0,0)\n", 1, false},
        {"empty Ext2", [](CTestThread&, CRecorder&) { WriteDeviceSetting(L"Settings", L"Ext2", L""); },
         "SEARCH_BEGIN(0,0)\nINTERRUPTED(0,0)\n", 1, false},
        {"stopped first", [](CTestThread& w, CRecorder&) { w.Stop(CWorkThread::kStopNoWait, 0); },
         "SEARCH_BEGIN(0,0)\nCANCELED(0,0)\n", 1, false},
        // The first text the worker takes is the walk's line; the next entry ends the walk.
        {"stopped while the search walks",
         [&](CTestThread& w, CRecorder&) { w.onText = [&w] { return w.Stop(CWorkThread::kStopNoWait, 0) == 0; }, MakeFile(tooLong, 1); },
         "SEARCH_BEGIN(0,0)\n" + Line(0, IDS_LINE_READ_FAILED, tooLong) + "CANCELED(0,0)\n", 1, false},
        {"no room, and no memory for any text",
         [](CTestThread& w, CRecorder&) {
             w.onText = [] { return false; };
             WriteDeviceSetting(L"DiskSpace", L"Margin", L"2000000000");
         },
         kSearched + "CAPACITY_ERROR(1,0)\n", 1, false},
        // A folder in place of the history: it exists but cannot be written.
        {"history unwritable",
         [&](CTestThread& w, CRecorder&) {
             w.beforeCopy = [](int) { ::DeleteFileW(HistoryPath().c_str()) && ::CreateDirectoryW(HistoryPath().c_str(), nullptr); };
         },
         kSearched + Current(1, 1, a) + Line(0, IDS_LINE_TRANSFERRING, a) + Box(IDS_CREATE_FAILED, kHistoryFileName) +
             "INTERRUPTED(0,0)\n", 1, true},
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
        EXPECT_EQ(c.messages, rec.Describe()) << c.name;
        EXPECT_EQ(c.copied, FileExists(L"E:\\Music\\a.mp3")) << c.name;
    }
}

TEST_F(WorkerTest, AStopDuringALargeCopyLeavesNothingBehind) {
    const std::wstring big = Src(L"big.mp3");
    ASSERT_TRUE(MakeFile(big, 8 << 20));
    SearchOnly({kSourceRoot});
    worker.readDelayMs = 5;
    std::string seen;
    recorder.onMessage = [&](const Posted& p) {
        if (p.message != WM_APP_SET_PROGRESS_POS || worker.IsStopRequested()) return;
        // In mid-copy the data lives under the partial name only.
        seen = std::to_string(FileExists(std::wstring(L"E:\\Music\\") + kPartialCopyName)) +
               std::to_string(FileExists(L"E:\\Music\\big.mp3"));
        worker.Stop(CWorkThread::kStopNoWait, 0);
    };
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    EXPECT_EQ("10", seen);
    // The pending line stays; no box, one end message, nothing on the player or in the history.
    EXPECT_EQ(kSearched + Current(1, 1, big) + Line(0, IDS_LINE_TRANSFERRING, big) + "CANCELED(0,0)\n",
              recorder.Describe(WM_APP_SET_PROGRESS_POS));
    EXPECT_TRUE(ListFolder(L"E:\\Music").empty() && HistoryLines().empty());
}

// A stop waits for the box to be closed; ending the program releases the wait,
// and gives up on a thread stuck in a call (an unreachable drive).
TEST_F(WorkerTest, AStopWaitsForAnOpenBoxShutdownReleasesItAndGivesUpOnAStuckThread) {
    ASSERT_TRUE(MakeFile(Song(1, L"a.mp3"), 10) && MakeFile(Song(2, L"b.mp3"), 10));
    SearchOnly({Src(L"1"), Src(L"2")});
    auto doomed = std::make_unique<CTestThread>();
    doomed->beforeCopy = [](int i) { i == 0 && ::DeleteFileW(Song(1, L"a.mp3").c_str()); };
    recorder.answerBoxes = false;
    ASSERT_EQ(0, doomed->Start(&recorder));
    recorder.Pump(20000, WM_APP_MESSAGE_BOX);
    doomed->Stop(CWorkThread::kStopNoWait, 0);
    recorder.Pump(400);
    EXPECT_EQ(static_cast<UINT>(WM_APP_MESSAGE_BOX), recorder.messages.back().message) << "went on before the answer";
    doomed.reset();  // stopped, not abandoned: the thread ends with its one end message
    recorder.Pump(50);
    EXPECT_EQ(static_cast<UINT>(WM_APP_TRANSFER_CANCELED), recorder.messages.back().message) << recorder.Describe();
    EXPECT_TRUE(recorder.Count(WM_APP_MESSAGE_BOX) == 1 && recorder.Count(WM_APP_TRANSFER_CANCELED) == 1);
    EXPECT_FALSE(FileExists(L"E:\\Music\\b.mp3"));

    CHandle inCall(::CreateEventW(nullptr, TRUE, FALSE, nullptr)), deleted(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto* stuck = new CTestThread;
    stuck->beforeCopy = [event = inCall.Get()](int) { ::SetEvent(event), ::Sleep(INFINITE); };  // never returns
    ASSERT_EQ(0, stuck->Start(&recorder));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(inCall.Get(), 20000));
    std::thread([stuck, event = deleted.Get()] {  // so that a wait for ever fails the test instead of hanging it
        delete stuck;
        ::SetEvent(event);
    }).detach();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(deleted.Get(), 25000)) << "shutdown waits for ever";
}
