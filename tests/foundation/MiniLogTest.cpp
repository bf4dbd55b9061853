#include "foundation/Handle.h"
#include "foundation/MiniLog.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <regex>
#include <thread>

using namespace qctest;

namespace {

class MiniLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        DeleteTree(folder = Join(temp, L"qc-minilog-test"));
        ASSERT_TRUE(MakeDirs(folder));
        CMiniLog::Init((log = Join(folder, L"name.log")).c_str(), -1);
        bak = Join(folder, L"name.bak");
    }
    void TearDown() override { CMiniLog::Init(L"", -1); }

    // A log's text from character `skip` on, each line's time stamp
    // ("YYYY/MM/DD hh:mm:ss.mmm ", zero-padded) replaced by "@".
    std::wstring Lines(const std::wstring& path, size_t skip = 0) {
        std::string bytes;
        static const std::wregex stamp(L"(^|\n)\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
        return ReadBytes(path, bytes) ? std::regex_replace(Utf16LeToWide(bytes).substr(skip), stamp, L"$1@") : L"<missing>";
    }

    std::wstring folder, log, bak;
};

TEST_F(MiniLogTest, StampedUtf16LinesWithoutMarkWrittenAsFormattedAndOnlyWhereAllowed) {
    // A log of exactly 1 MiB takes one more line; the next starts a new log.
    ASSERT_TRUE(WriteBytes(log, std::string(1048576, 'x')));
    CMiniLog(-1).Write(L"");
    EXPECT_EQ(L"@\r\n", Lines(log, 524288));
    CMiniLog(-1).Write(L"[Open] E_ESYS_MEDIUMNOTREADY %08x %s", 3, L"C:\\100% Hits\\a%sb.mp3");
    CMiniLog::Init(log.c_str(), 2);
    CMiniLog(3).Write(L"above the threshold");
    CMiniLog(2).Write(L"50%% done");
    EXPECT_EQ(L"@[Open] E_ESYS_MEDIUMNOTREADY 00000003 C:\\100% Hits\\a%sb.mp3\r\n@50% done\r\n", Lines(log));
}

// The mutex is asked for from another thread: the writing thread could take
// it again even if the writer had not released it.
TEST_F(MiniLogTest, AbandonedMutexStillLetsTheLineThroughAndIsReleasedAfterwards) {
    const wchar_t* name = L"MUTEX_NAME_FOR_MINILOG_name.log";
    CHandle owned;
    std::thread([&] { owned.Reset(::CreateMutexW(nullptr, TRUE, name)); }).join();  // ends owning it
    CMiniLog(-1).Write(L"after abandon");
    CMiniLog(-1).Write(L"and once more");
    EXPECT_EQ(L"@after abandon\r\n@and once more\r\n", Lines(log));
    CHandle mutex(::CreateMutexW(nullptr, FALSE, name));
    DWORD wait = WAIT_FAILED;
    std::thread([&] { (wait = ::WaitForSingleObject(mutex.Get(), 0)) == WAIT_OBJECT_0 && ::ReleaseMutex(mutex.Get()); }).join();
    EXPECT_EQ(WAIT_OBJECT_0, wait) << "the writer released the mutex";
}

// Four threads write across a rotation in the middle of their lines; a
// mark before the first stamp of the new log would show as a line without it.
TEST_F(MiniLogTest, WritersAcrossARotationLoseAndInterleaveNothing) {
    const std::string old(1048576 - 300000, 'x');
    ASSERT_TRUE(WriteBytes(log, old) && WriteBytes(bak, "an older backup"));
    auto write = [](wchar_t who) { for (int i = 0; i < 2000; ++i) CMiniLog(-1).Write(L"%c line %d", who, i); };
    std::thread writers[4] = {std::thread(write, L'A'), std::thread(write, L'B'), std::thread(write, L'C'), std::thread(write, L'D')};
    for (std::thread& t : writers) t.join();
    std::string backup;
    ASSERT_TRUE(ReadBytes(bak, backup) && backup.compare(0, old.size(), old) == 0) << "the backup begins with the old log";
    EXPECT_LT(backup.size(), 1048576u + 100) << "rotated at the line that crossed the limit";
    // Each writer's lines in its own order, whole, none missing.
    const std::wstring text = Lines(bak, old.size() / 2) + Lines(log);
    int next[4] = {0, 0, 0, 0};
    for (size_t s = 0, e; (e = text.find(L"\r\n", s)) != std::wstring::npos; s = e + 2) {
        const int who = (text[s + 1] - L'A') & 3;
        ASSERT_EQ(L"@" + std::wstring(1, static_cast<wchar_t>(L'A' + who)) + L" line " + std::to_wstring(next[who]++), text.substr(s, e - s));
    }
    EXPECT_EQ(8000, next[0] + next[1] + next[2] + next[3]);
}

} // namespace
