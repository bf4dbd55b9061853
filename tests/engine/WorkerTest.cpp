#include "EngineSupport.h"
#include "engine/CopyRules.h"
#include "store/AppPaths.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>

using namespace qctest;

namespace {

// A source that takes its time per chunk, so a test can act in mid-copy.
class CSlowFile : public CSysFile {
public:
    explicit CSlowFile(DWORD delayMs) : m_delayMs(delayMs) {}
    HRESULT Read(DWORD count, DWORD& read, void* buffer) override {
        ::Sleep(m_delayMs);
        return CSysFile::Read(count, read, buffer);
    }

private:
    DWORD m_delayMs;
};

class CTestThread : public CTransferThread {
public:
    // Called with 0, 1, 2... as each copy takes its source object.
    std::function<void(int)> beforeCopy;
    DWORD readDelayMs = 0;

protected:
    std::unique_ptr<CSysFile> NewFileObject(FileRole role) override {
        if (role == FileRole::kSource && beforeCopy) beforeCopy(m_copies++);
        if (role == FileRole::kSource && readDelayMs) return std::make_unique<CSlowFile>(readDelayMs);
        return CTransferThread::NewFileObject(role);
    }

private:
    int m_copies = 0;
};

const SYSTEMTIME kJan5 = Utc(2007, 1, 5, 12, 0, 0);
const SYSTEMTIME kDec31 = Utc(2006, 12, 31, 23, 59, 59);

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
    }
    // Lists kSourceRoot\1, \2, ... in this order, so the files are found in that order.
    void ListFolders(int count) {
        WriteComputerSetting(L"SelectedFolders", L"1");
        WriteComputerSetting(L"FolderCount", std::to_wstring(count).c_str());
        for (int n = 1; n <= count; ++n) {
            std::wstring key = L"Folder" + std::to_wstring(n);
            std::wstring value = L"\"" + Folder(n) + L"\"";
            WriteComputerSetting(key.c_str(), value.c_str());
            MakeDirs(Folder(n));
        }
    }
    static std::wstring Folder(int n) { return Join(kSourceRoot, std::to_wstring(n)); }

    CTestThread worker;
    CRecorder recorder;
};

std::wstring Line(const wchar_t* path, const wchar_t* outcome) {
    return std::wstring(L"Transferring ") + path + L" ... " + outcome;
}

} // namespace

TEST_F(WorkerTest, NoCandidateGivesExactlyTheFiveMessages) {
    SearchOnly(kSourceRoot);
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    EXPECT_EQ((std::vector<UINT>{WM_APP_SEARCH_BEGIN, WM_APP_SEARCH_END, WM_APP_SET_PROGRESS_RANGE,
                                 WM_APP_SET_PROGRESS_POS, WM_APP_TRANSFER_COMPLETE}),
              recorder.Ids())
        << recorder.Describe();
    ASSERT_EQ(5u, recorder.messages.size());
    EXPECT_EQ(0u, recorder.messages[2].wParam);
    EXPECT_EQ(100, recorder.messages[2].lParam);
    EXPECT_EQ(100, recorder.messages[3].lParam);
    EXPECT_EQ(0, recorder.messages[4].lParam);
    EXPECT_TRUE(worker.GetCandidates().empty()) << "the transfer's state is released at its end";
}

TEST_F(WorkerTest, CandidatesAreCopiedOldestFirstInFoundOrderOnEqualStamps) {
    ListFolders(3);
    ASSERT_TRUE(MakeFile(Folder(1) + L"\\one.mp3", 100, &kJan5));
    ASSERT_TRUE(MakeFile(Folder(2) + L"\\two.mp3", 200, &kDec31));
    ASSERT_TRUE(MakeFile(Folder(3) + L"\\three.wma", 300, &kJan5));
    EXPECT_EQ(0u, RunTransfer(worker, recorder));

    // Each file is one chunk: the first chunk of the transfer posts no
    // progress, every later one does (300 and 600 of 600 bytes).
    std::vector<UINT> expected = {WM_APP_SEARCH_BEGIN, WM_APP_SEARCH_END, WM_APP_SET_PROGRESS_RANGE,
                                  WM_APP_CURRENT_FILE, WM_APP_LOG_LINE,   WM_APP_LOG_LINE};
    for (int i = 0; i < 2; ++i) {
        expected.insert(expected.end(),
                        {WM_APP_CURRENT_FILE, WM_APP_LOG_LINE, WM_APP_SET_PROGRESS_POS, WM_APP_LOG_LINE});
    }
    expected.insert(expected.end(), {WM_APP_SET_PROGRESS_POS, WM_APP_TRANSFER_COMPLETE});
    ASSERT_EQ(expected, recorder.Ids()) << recorder.Describe();
    std::vector<LPARAM> percents;
    for (const Posted& p : recorder.messages) {
        if (p.message == WM_APP_SET_PROGRESS_POS) percents.push_back(p.lParam);
    }
    EXPECT_EQ((std::vector<LPARAM>{50, 100, 100}), percents);

    const std::wstring order[] = {Folder(2) + L"\\two.mp3", Folder(1) + L"\\one.mp3", Folder(3) + L"\\three.wma"};
    int file = 0;
    for (const Posted& p : recorder.messages) {
        if (p.message != WM_APP_CURRENT_FILE) continue;
        EXPECT_EQ(std::to_string(file + 1) + "/3 song(s)", Narrow(p.text));
        EXPECT_EQ(Narrow(order[file] + L"\n"), Narrow(p.text2));
        ++file;
    }
    std::vector<std::wstring> log = recorder.Log();
    ASSERT_EQ(3u, log.size());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Narrow(Line(order[i].c_str(), L"Complete.")), Narrow(log[i]));
    EXPECT_EQ(3, recorder.messages.back().lParam);
    EXPECT_EQ(200u, SizeOf(L"E:\\Music\\two.mp3"));
    EXPECT_EQ(100u, SizeOf(L"E:\\Music\\one.mp3"));
    EXPECT_EQ(300u, SizeOf(L"E:\\Music\\three.wma"));
    EXPECT_EQ((std::vector<std::wstring>{L"20061231235959,200,\"" + order[0] + L"\"",
                                         L"20070105120000,100,\"" + order[1] + L"\"",
                                         L"20070105120000,300,\"" + order[2] + L"\""}),
              HistoryLines());

    // A second transfer finds everything in the history.
    CRecorder again;
    EXPECT_EQ(0u, RunTransfer(worker, again));
    EXPECT_EQ(5u, again.messages.size()) << again.Describe();
    EXPECT_EQ(0, again.messages.back().lParam);
}

TEST_F(WorkerTest, TheSecondOfThreeMissingIsReportedAndTheRestCopied) {
    ListFolders(3);
    ASSERT_TRUE(MakeFile(Folder(1) + L"\\a.mp3", 10, &kDec31));
    ASSERT_TRUE(MakeFile(Folder(2) + L"\\b.mp3", 20, &kJan5));
    ASSERT_TRUE(MakeFile(Folder(3) + L"\\c.mp3", 30, &kJan5));
    worker.beforeCopy = [&](int index) {
        if (index == 1) ::DeleteFileW((Folder(2) + L"\\b.mp3").c_str());
    };
    EXPECT_EQ(0u, RunTransfer(worker, recorder));
    std::vector<std::wstring> log = recorder.Log();
    ASSERT_EQ(3u, log.size()) << recorder.Describe();
    EXPECT_EQ(Narrow(Line((Folder(1) + L"\\a.mp3").c_str(), L"Complete.")), Narrow(log[0]));
    EXPECT_EQ(Narrow(Line((Folder(2) + L"\\b.mp3").c_str(), L"Failed. (Source file could not be read.)")),
              Narrow(log[1]));
    EXPECT_EQ(Narrow(Line((Folder(3) + L"\\c.mp3").c_str(), L"Complete.")), Narrow(log[2]));
    ASSERT_EQ(1u, recorder.Boxes().size());
    EXPECT_EQ(0u, recorder.Boxes()[0].find(L"The file \"b.mp3\" could not be found."));
    EXPECT_EQ(WM_APP_TRANSFER_COMPLETE, recorder.messages.back().message);
    EXPECT_EQ(2, recorder.messages.back().lParam);
    EXPECT_EQ(2u, HistoryLines().size()) << "a failed file leaves no trace in the history";
}

TEST_F(WorkerTest, AStopDuringALargeCopyLeavesNothingBehind) {
    ListFolders(1);
    const std::wstring big = Folder(1) + L"\\big.mp3";
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
    EXPECT_EQ(WM_APP_TRANSFER_CANCELED, recorder.messages.back().message) << recorder.Describe();
    EXPECT_EQ(1, recorder.Count(WM_APP_TRANSFER_CANCELED));
    std::vector<std::wstring> log = recorder.Log();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(Narrow(Line(big.c_str(), L"")), Narrow(log[0])) << "the pending line stays";
    EXPECT_EQ(0, recorder.Count(WM_APP_MESSAGE_BOX));
    EXPECT_TRUE(ListFolder(L"E:\\Music").empty());
    EXPECT_TRUE(HistoryLines().empty());
}

TEST_F(WorkerTest, AStopWhileABoxIsOpenWaitsForTheAnswer) {
    ListFolders(2);
    ASSERT_TRUE(MakeFile(Folder(1) + L"\\a.mp3", 10, &kDec31));
    ASSERT_TRUE(MakeFile(Folder(2) + L"\\b.mp3", 20, &kJan5));
    worker.beforeCopy = [&](int index) {
        if (index == 0) ::DeleteFileW((Folder(1) + L"\\a.mp3").c_str());
    };
    recorder.answerDelayMs = 400;
    recorder.onMessage = [&](const Posted& p) {
        if (p.message == WM_APP_MESSAGE_BOX) worker.Stop(CWorkThread::kStopNoWait, 0);
    };
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    ASSERT_EQ(1u, recorder.answeredAt.size());
    size_t box = 0;
    while (box < recorder.messages.size() && recorder.messages[box].message != WM_APP_MESSAGE_BOX) ++box;
    ASSERT_EQ(box + 2, recorder.messages.size()) << recorder.Describe();
    const Posted& after = recorder.messages[box + 1];
    EXPECT_EQ(WM_APP_TRANSFER_CANCELED, after.message);
    EXPECT_GE(static_cast<LONG>(after.tick - recorder.answeredAt[0]), 0) << "the worker went on before the answer";
    EXPECT_FALSE(FileExists(L"E:\\Music\\b.mp3"));
}

TEST_F(WorkerTest, AnUnwritableHistoryEndsTheTransferAfterTheFirstFile) {
    ListFolders(2);
    ASSERT_TRUE(MakeFile(Folder(1) + L"\\a.mp3", 10, &kDec31));
    ASSERT_TRUE(MakeFile(Folder(2) + L"\\b.mp3", 20, &kJan5));
    worker.beforeCopy = [&](int index) {
        // A folder in place of the history: it exists but cannot be opened for writing.
        if (index == 0) {
            ::DeleteFileW(HistoryPath().c_str());
            ::CreateDirectoryW(HistoryPath().c_str(), nullptr);
        }
    };
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    ::RemoveDirectoryW(HistoryPath().c_str());
    std::vector<UINT> ids = recorder.Ids();
    ASSERT_GE(ids.size(), 4u);
    std::vector<UINT> tail(ids.end() - 4, ids.end());
    EXPECT_EQ((std::vector<UINT>{WM_APP_CURRENT_FILE, WM_APP_LOG_LINE, WM_APP_MESSAGE_BOX, WM_APP_TRANSFER_INTERRUPTED}),
              tail)
        << recorder.Describe();
    ASSERT_EQ(1u, recorder.Boxes().size());
    EXPECT_EQ("Failed to create the file. \nFile name: TransferredFiles.dat", Narrow(recorder.Boxes()[0]));
    EXPECT_EQ(1, recorder.Count(WM_APP_CURRENT_FILE));
    EXPECT_EQ(10u, SizeOf(L"E:\\Music\\a.mp3")) << "the copy stays on the player";
    EXPECT_EQ(Narrow(Line((Folder(1) + L"\\a.mp3").c_str(), L"")), Narrow(recorder.Log().back()));
}

TEST_F(WorkerTest, EarlyEnds) {
    struct Case {
        const char* name;
        bool damagedHistory;
        bool stopFirst;
        std::vector<UINT> ids;
    } cases[] = {
        {"history unreadable", true, false,
         {WM_APP_SEARCH_BEGIN, WM_APP_MESSAGE_BOX, WM_APP_TRANSFER_INTERRUPTED}},
        {"search stopped by the user", false, true, {WM_APP_SEARCH_BEGIN, WM_APP_TRANSFER_CANCELED}},
        {"empty Ext2", false, false, {WM_APP_SEARCH_BEGIN, WM_APP_TRANSFER_INTERRUPTED}},
    };
    for (const Case& c : cases) {
        ResetPlayer();
        SearchOnly(kSourceRoot);
        ASSERT_TRUE(MakeFile(Join(kSourceRoot, L"a.mp3"), 10)) << c.name;
        if (c.damagedHistory) {
            ASSERT_TRUE(WriteBytes(HistoryPath(), "20070101000000,1,\"C:\\a.mp3\"\r\n")) << c.name;
        }
        CTestThread w;
        CRecorder rec;
        if (c.stopFirst) w.Stop(CWorkThread::kStopNoWait, 0);
        if (c.ids.back() == WM_APP_TRANSFER_INTERRUPTED && !c.damagedHistory) {
            WriteDeviceSetting(L"Settings", L"Ext2", L"");
        }
        EXPECT_EQ(1u, RunTransfer(w, rec)) << c.name;
        EXPECT_EQ(c.ids, rec.Ids()) << c.name << "\n" << rec.Describe();
        if (c.damagedHistory) {
            ASSERT_EQ(1u, rec.Boxes().size()) << c.name;
            EXPECT_EQ("Failed to read the file. \nFile name: TransferredFiles.dat", Narrow(rec.Boxes()[0])) << c.name;
        }
        EXPECT_FALSE(FileExists(L"E:\\Music\\a.mp3")) << c.name;
    }
}

TEST_F(WorkerTest, ShutdownEndsAThreadThatWaitsForABoxNobodyAnswers) {
    ListFolders(1);
    ASSERT_TRUE(MakeFile(Folder(1) + L"\\a.mp3", 10));
    auto* doomed = new CTestThread;
    doomed->beforeCopy = [&](int) { ::DeleteFileW((Folder(1) + L"\\a.mp3").c_str()); };
    recorder.answerDelayMs = 600000;
    ASSERT_EQ(0, doomed->Start(&recorder));
    DWORD start = ::GetTickCount();
    while (recorder.Count(WM_APP_MESSAGE_BOX) == 0 && ::GetTickCount() - start < 20000) recorder.Pump(10);
    ASSERT_EQ(1, recorder.Count(WM_APP_MESSAGE_BOX)) << recorder.Describe();
    ASSERT_EQ(1, doomed->IsRunning());

    CHandle deleted(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread closer([&] {
        delete doomed;
        ::SetEvent(deleted.Get());
    });
    DWORD waited = ::WaitForSingleObject(deleted.Get(), 8000);
    EXPECT_EQ(WAIT_OBJECT_0, waited) << "the destructor still waits for the thread";
    closer.join();
    recorder.Pump(50);
    // The thread was stopped, not abandoned: it ended with its one end message.
    EXPECT_EQ(WM_APP_TRANSFER_CANCELED, recorder.messages.back().message) << recorder.Describe();
}

namespace {
// Busy blocks of the process heap with the size of a text buffer.
int CountTextBlocks() {
    HANDLE heap = ::GetProcessHeap();
    ::HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    int count = 0;
    while (::HeapWalk(heap, &entry)) {
        if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && entry.cbData == kTransferTextBytes) ++count;
    }
    ::HeapUnlock(heap);
    return count;
}
} // namespace

TEST_F(WorkerTest, TextsOfPostsThatFailAreFreed) {
    ListFolders(1);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(MakeFile(Folder(1) + L"\\f" + std::to_wstring(i) + L".mp3", 10));
    ::DeleteFileW((Folder(1) + L"\\f3.mp3").c_str());  // and one box that cannot be shown
    worker.beforeCopy = [&](int index) {
        if (index == 0) ::DeleteFileW((Folder(1) + L"\\f0.mp3").c_str());
    };
    recorder.Close();  // the window is gone: every post fails
    int before = CountTextBlocks();
    ASSERT_EQ(0, worker.Start(&recorder));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(worker.GetThreadHandle(), 20000)) << "a box nobody shows held the worker";
    EXPECT_EQ(0u, worker.GetExitCode());
    EXPECT_EQ(before, CountTextBlocks()) << "text buffers leaked";
    EXPECT_EQ(18u, HistoryLines().size());
}
