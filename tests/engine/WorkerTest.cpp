#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <thread>

using namespace qctest;

namespace {

const SYSTEMTIME kJan5 = Utc(2007, 1, 5, 12, 0, 0);
const SYSTEMTIME kDec31 = Utc(2006, 12, 31, 23, 59, 59);

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
    }
    // Lists kSourceRoot\1, \2, ... in this order, each with one file of 10,
    // 20, ... bytes, so the files are found in that order.
    void ListFolders(std::initializer_list<std::pair<const wchar_t*, const SYSTEMTIME*>> files) {
        WriteComputerSetting(L"SelectedFolders", L"1");
        WriteComputerSetting(L"FolderCount", std::to_wstring(files.size()).c_str());
        int n = 0;
        for (const auto& f : files) {
            ++n;
            WriteComputerSetting((L"Folder" + std::to_wstring(n)).c_str(), (L"\"" + Folder(n) + L"\"").c_str());
            ASSERT_TRUE(MakeFile(File(n, f.first), 10 * n, f.second));
        }
    }
    static std::wstring Folder(int n) { return Src(std::to_wstring(n)); }
    static std::wstring File(int n, const wchar_t* name) { return Join(Folder(n), name); }
    // Deletes the source of the copy with this index as the copy begins.
    void Vanish(int index, const std::wstring& path) {
        worker.beforeCopy = [=](int i) {
            if (i == index) ::DeleteFileW(path.c_str());
        };
    }

    CTestThread worker;
    CRecorder recorder;
};

} // namespace

TEST_F(WorkerTest, NoCandidateGivesExactlyTheFiveMessages) {
    SearchOnly(kSourceRoot);
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    EXPECT_EQ("SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\nPOS(0,100)\nCOMPLETE(0,0)\n", recorder.Describe());
    EXPECT_TRUE(worker.GetCandidates().empty()) << "the transfer's state is released at its end";
}

TEST_F(WorkerTest, CandidatesAreCopiedOldestFirstInFoundOrderOnEqualStamps) {
    ListFolders({{L"one.mp3", &kJan5}, {L"two.mp3", &kDec31}, {L"three.wma", &kJan5}});
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    // Each file is one chunk: the first chunk of the transfer posts no
    // progress, every later one does (30 and 60 of 60 bytes).
    const std::wstring order[] = {File(2, L"two.mp3"), File(1, L"one.mp3"), File(3, L"three.wma")};
    const char* progress[] = {"", "POS(0,50)\n", "POS(0,100)\n"};
    const char* records[] = {"20061231235959,20,", "20070105120000,10,", "20070105120000,30,"};
    std::string expected = "SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\n";
    std::vector<std::wstring> history;
    for (int i = 0; i < 3; ++i) {
        expected += "CURRENT " + std::to_string(i + 1) + "/3 song(s) " + Narrow(order[i]) + "\nLOG(0) " +
                    LogLine(order[i], L"") + "\n" + progress[i] + "LOG(1) " + LogLine(order[i], L"Complete.") + "\n";
        history.push_back(std::wstring(records[i], records[i] + 18) + L"\"" + order[i] + L"\"");
        EXPECT_EQ(SizeOf(order[i]), SizeOf(L"E:\\Music\\" + order[i].substr(order[i].rfind(L'\\') + 1))) << i;
    }
    EXPECT_EQ(expected + "POS(0,100)\nCOMPLETE(0,3)\n", recorder.Describe());
    EXPECT_EQ(history, HistoryLines());

    // A second transfer finds everything in the history.
    CRecorder again;
    EXPECT_EQ(0u, RunTransfer(worker, again));
    EXPECT_EQ("SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\nPOS(0,100)\nCOMPLETE(0,0)\n", again.Describe());
}

TEST_F(WorkerTest, TheSecondOfThreeMissingIsReportedAndTheRestCopied) {
    ListFolders({{L"a.mp3", &kDec31}, {L"b.mp3", &kJan5}, {L"c.mp3", &kJan5}});
    Vanish(1, File(2, L"b.mp3"));
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    EXPECT_EQ((std::vector<std::string>{LogLine(File(1, L"a.mp3"), L"Complete."),
                                        LogLine(File(2, L"b.mp3"), L"Failed. (Source file could not be read.)"),
                                        LogLine(File(3, L"c.mp3"), L"Complete.")}),
              recorder.Log());
    EXPECT_EQ(1, recorder.Count(WM_APP_MESSAGE_BOX));
    EXPECT_NE(std::string::npos, recorder.Describe().find("BOX(16) The file \"b.mp3\" could not be found."));
    EXPECT_EQ(std::vector<LPARAM>{2}, recorder.LParams(WM_APP_TRANSFER_COMPLETE));
    EXPECT_EQ(static_cast<UINT>(WM_APP_TRANSFER_COMPLETE), recorder.messages.back().message) << recorder.Describe();
    EXPECT_EQ(2u, HistoryLines().size()) << "a failed file leaves no trace in the history";
}

TEST_F(WorkerTest, AStopDuringALargeCopyLeavesNothingBehind) {
    SearchOnly(Folder(1));
    const std::wstring big = File(1, L"big.mp3");
    ASSERT_TRUE(MakeFile(big, 8 * 1048576));
    worker.readDelayMs = 5;
    bool sawPartial = false, sawFinalName = true;
    recorder.onMessage = [&](const Posted& p) {
        if (p.message != WM_APP_SET_PROGRESS_POS || worker.IsStopRequested()) return;
        // In mid-copy the data lives under the partial name only.
        sawPartial = FileExists(std::wstring(L"E:\\Music\\") + kPartialCopyName);
        sawFinalName = FileExists(L"E:\\Music\\big.mp3");
        worker.Stop(CWorkThread::kStopNoWait, 0);
    };
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    EXPECT_TRUE(sawPartial);
    EXPECT_FALSE(sawFinalName);
    // The pending line stays; no box, one end message.
    EXPECT_EQ("SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\nCURRENT 1/1 song(s) " + Narrow(big) + "\nLOG(0) " +
                  LogLine(big, L"") + "\nCANCELED(0,0)\n",
              recorder.Describe(WM_APP_SET_PROGRESS_POS));
    EXPECT_TRUE(ListFolder(L"E:\\Music").empty());
    EXPECT_TRUE(HistoryLines().empty());
}

TEST_F(WorkerTest, AStopWhileABoxIsOpenWaitsForTheAnswer) {
    ListFolders({{L"a.mp3", &kDec31}, {L"b.mp3", &kJan5}});
    Vanish(0, File(1, L"a.mp3"));
    recorder.answerBoxes = false;
    ASSERT_EQ(0, worker.Start(&recorder));
    recorder.Pump(20000, WM_APP_MESSAGE_BOX);
    ASSERT_EQ(1, recorder.Count(WM_APP_MESSAGE_BOX)) << recorder.Describe();
    worker.Stop(CWorkThread::kStopNoWait, 0);
    recorder.Pump(400);
    EXPECT_EQ(static_cast<UINT>(WM_APP_MESSAGE_BOX), recorder.messages.back().message) << "went on before the answer";
    ::SetEvent(recorder.GetAnswerEvent());
    EXPECT_EQ(1u, RunTransfer(worker, recorder, 20000, false));
    EXPECT_EQ(static_cast<UINT>(WM_APP_TRANSFER_CANCELED), recorder.messages.back().message) << recorder.Describe();
    EXPECT_EQ(1, recorder.Count(WM_APP_TRANSFER_CANCELED));
    EXPECT_FALSE(FileExists(L"E:\\Music\\b.mp3"));
}

TEST_F(WorkerTest, AnUnwritableHistoryEndsTheTransferAfterTheFirstFile) {
    ListFolders({{L"a.mp3", &kDec31}, {L"b.mp3", &kJan5}});
    worker.beforeCopy = [&](int index) {
        // A folder in place of the history: it exists but cannot be opened for writing.
        if (index != 0) return;
        ::DeleteFileW(HistoryPath().c_str());
        ::CreateDirectoryW(HistoryPath().c_str(), nullptr);
    };
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    ::RemoveDirectoryW(HistoryPath().c_str());
    const std::wstring a = File(1, L"a.mp3");
    EXPECT_EQ("SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\nCURRENT 1/2 song(s) " + Narrow(a) + "\nLOG(0) " +
                  LogLine(a, L"") + "\nBOX(16) Failed to create the file. \nFile name: TransferredFiles.dat\n"
                  "INTERRUPTED(0,0)\n",
              recorder.Describe());
    EXPECT_EQ(10u, SizeOf(L"E:\\Music\\a.mp3")) << "the copy stays on the player";
}

TEST_F(WorkerTest, EarlyEnds) {
    struct Case {
        const char* name;
        bool damagedHistory, stopFirst, emptyExt2;
        std::string messages;
    } cases[] = {
        {"history unreadable", true, false, false,
         "SEARCH_BEGIN(0,0)\nBOX(16) Failed to read the file. \nFile name: TransferredFiles.dat\nINTERRUPTED(0,0)\n"},
        {"search stopped by the user", false, true, false, "SEARCH_BEGIN(0,0)\nCANCELED(0,0)\n"},
        {"empty Ext2", false, false, true, "SEARCH_BEGIN(0,0)\nINTERRUPTED(0,0)\n"},
    };
    for (const Case& c : cases) {
        ResetPlayer();
        SearchOnly(kSourceRoot);
        ASSERT_TRUE(MakeFile(Src(L"a.mp3"), 10)) << c.name;
        ASSERT_TRUE(!c.damagedHistory || WriteBytes(HistoryPath(), "20070101000000,1,\"C:\\a.mp3\"\r\n")) << c.name;
        if (c.emptyExt2) WriteDeviceSetting(L"Settings", L"Ext2", L"");
        CTestThread w;
        CRecorder rec;
        if (c.stopFirst) w.Stop(CWorkThread::kStopNoWait, 0);
        EXPECT_EQ(1u, RunTransfer(w, rec)) << c.name;
        EXPECT_EQ(c.messages, rec.Describe()) << c.name;
        EXPECT_FALSE(FileExists(L"E:\\Music\\a.mp3")) << c.name;
    }
}

TEST_F(WorkerTest, ShutdownEndsAThreadThatWaitsForABoxNobodyAnswers) {
    ListFolders({{L"a.mp3", nullptr}});
    auto* doomed = new CTestThread;
    doomed->beforeCopy = [&](int) { ::DeleteFileW(File(1, L"a.mp3").c_str()); };
    recorder.answerBoxes = false;
    ASSERT_EQ(0, doomed->Start(&recorder));
    recorder.Pump(20000, WM_APP_MESSAGE_BOX);
    ASSERT_EQ(1, recorder.Count(WM_APP_MESSAGE_BOX)) << recorder.Describe();
    ASSERT_EQ(1, doomed->IsRunning());
    CHandle deleted(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread closer([&] {
        delete doomed;
        ::SetEvent(deleted.Get());
    });
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(deleted.Get(), 8000)) << "the destructor still waits for the thread";
    closer.join();
    recorder.Pump(50);
    // The thread was stopped, not abandoned: it ended with its one end message.
    EXPECT_EQ(static_cast<UINT>(WM_APP_TRANSFER_CANCELED), recorder.messages.back().message) << recorder.Describe();
}

TEST_F(WorkerTest, ShutdownGivesUpOnAThreadThatNeverReturns) {
    ListFolders({{L"a.mp3", nullptr}});
    auto* stuck = new CTestThread;
    stuck->beforeCopy = [](int) { ::Sleep(INFINITE); };  // as a call on an unreachable drive
    ASSERT_EQ(0, stuck->Start(&recorder));
    recorder.Pump(20000, WM_APP_SET_PROGRESS_RANGE);
    // Deleted on a thread of its own, so a destructor that waits for ever
    // fails the test instead of hanging it.
    HANDLE deleted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread([stuck, deleted] {
        delete stuck;
        ::SetEvent(deleted);
    }).detach();
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(deleted, 25000)) << "shutdown waits for ever";
}

TEST_F(WorkerTest, TextsOfPostsThatFailAreFreed) {
    // Busy blocks of the process heap with the size of a text buffer.
    auto countTextBlocks = [] {
        HANDLE heap = ::GetProcessHeap();
        ::HeapLock(heap);
        PROCESS_HEAP_ENTRY entry = {};
        int count = 0;
        while (::HeapWalk(heap, &entry)) {
            count += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && entry.cbData == kTransferTextBytes;
        }
        ::HeapUnlock(heap);
        return count;
    };
    SearchOnly(Folder(1));
    for (int i = 1; i < 20; ++i) ASSERT_TRUE(MakeFile(File(1, (L"f" + std::to_wstring(i) + L".mp3").c_str()), 10));
    // One box that cannot be shown: the copy of the first file finds it gone.
    Vanish(0, File(1, L"f1.mp3"));
    recorder.Close();  // the window is gone: every post fails
    int before = countTextBlocks();
    ASSERT_EQ(0, worker.Start(&recorder));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(worker.GetThreadHandle(), 20000)) << "an unshown box held it";
    EXPECT_EQ(0u, worker.GetExitCode());
    EXPECT_EQ(before, countTextBlocks()) << "text buffers leaked";
    EXPECT_EQ(18u, HistoryLines().size());
}
