#include "foundation/Handle.h"
#include "foundation/MiniLog.h"
#include "support/Computer.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <regex>
#include <thread>

using namespace qctest;

namespace {

const std::wstring kFolder = [] { wchar_t t[MAX_PATH + 1]; ::GetTempPathW(MAX_PATH + 1, t); return Join(t, L"qc-minilog-test"); }();
const std::wstring kLog = Join(kFolder, L"name.log"), kBak = Join(kFolder, L"name.bak");

// A log's text from character `skip` on, each line's time stamp
// ("YYYY/MM/DD hh:mm:ss.mmm ", zero-padded) replaced by "@".
std::wstring Lines(const std::wstring& path, size_t skip = 0) {
    std::string bytes;
    static const std::wregex stamp(L"(^|\n)\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} ");
    return ReadBytes(path, bytes) ? std::regex_replace(Utf16LeToWide(bytes).substr(skip), stamp, L"$1@") : L"<missing>";
}

void WriteLines(wchar_t who) { for (int i = 0; i < 3000; ++i) CMiniLog().Write(L"%c line %d", who, i); }

class MiniLogTest : public ::testing::Test {
    void SetUp() override { DeleteTree(kFolder), MakeDirs(kFolder), CMiniLog::Init(kLog.c_str(), -1); }
    void TearDown() override { CMiniLog::Init(L"", -1); }
};

// The mutex is abandoned by another thread: the writing thread could take it
// again even if the writer had not released it. A path's "%" is no format.
TEST_F(MiniLogTest, LinesAsFormattedAfterAnAbandonedMutex) {
    ASSERT_TRUE(WriteBytes(kLog, std::string(1048576, 'x')));  // exactly 1 MiB takes one more line
    CHandle owned;
    std::thread([&] { owned.Reset(::CreateMutexW(nullptr, TRUE, L"MUTEX_NAME_FOR_MINILOG_name.log")); }).join();
    CMiniLog().Write(L"");
    CMiniLog().Write(L"[Open] E_ESYS_MEDIUMNOTREADY %08x %s", 3, L"C:\\100% Hits\\a%sb.mp3");
    EXPECT_EQ(L"@\r\n", Lines(kBak, 524288));
    EXPECT_EQ(L"@[Open] E_ESYS_MEDIUMNOTREADY 00000003 C:\\100% Hits\\a%sb.mp3\r\n", Lines(kLog));
}

// The second writer of the next test, in a process of its own; never run alone.
TEST(MiniLogOtherProcess, DISABLED_Writes) {
    CMiniLog::Init(kLog.c_str(), -1);
    CHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, L"qc-minilog-test-ready"));
    ASSERT_TRUE(ready && ::SetEvent(ready.Get()));
    WriteLines(L'B');
}

// The program and its tools log to one file from several processes; the
// rotation comes while both write.
TEST_F(MiniLogTest, TwoProcessesAcrossARotationLoseAndInterleaveNothing) {
    const std::string old(1048576 - 200000, 'x');
    ASSERT_TRUE(WriteBytes(kLog, old) && WriteBytes(kBak, "an older backup"));
    CHandle ready(::CreateEventW(nullptr, TRUE, FALSE, L"qc-minilog-test-ready"));
    wchar_t self[MAX_PATH + 1];
    ASSERT_TRUE(ready && ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1));
    uidrv::Process other;
    ASSERT_TRUE(other.Start(self, L"--gtest_filter=*DISABLED_Writes --gtest_also_run_disabled_tests"));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(ready.Get(), 60000));
    WriteLines(L'A');
    ASSERT_TRUE(other.WaitExit(60000) && other.ExitCode() == 0);
    std::string backup;
    ASSERT_TRUE(ReadBytes(kBak, backup) && backup.compare(0, old.size(), old) == 0) << "the backup begins with the old log";
    EXPECT_TRUE(backup.size() > 1048576 && backup.size() <= 1048576 + 74) << "rotated at the line that crossed the limit";
    // Each writer's lines in its own order, whole, none missing; the writers took turns.
    const std::wstring text = Lines(kBak, old.size() / 2) + Lines(kLog);
    int next[2] = {0, 0}, turns = 0, last = 0;
    for (size_t s = 0, e; (e = text.find(L"\r\n", s)) != std::wstring::npos; s = e + 2) {
        const int who = text[s + 1] == L'B';
        turns += who != last, last = who;
        ASSERT_EQ(L"@" + std::wstring(1, static_cast<wchar_t>(L'A' + who)) + L" line " + std::to_wstring(next[who]++), text.substr(s, e - s));
    }
    EXPECT_EQ(6000, next[0] + next[1]);
    EXPECT_GT(turns, 10) << "the two processes wrote at the same time";
}

} // namespace
