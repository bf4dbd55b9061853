#include "foundation/MiniLog.h"
#include "foundation/Handle.h"
#include "support/Computer.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <cwchar>
#include <string>
#include <thread>

using namespace qctest;

namespace {

std::wstring g_self;

std::wstring TestFolder() {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    return Join(temp, L"qc-minilog-test");
}

class MiniLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteTree(TestFolder());
        ASSERT_TRUE(MakeDirs(TestFolder()));
        log = Join(TestFolder(), L"name.log");
        CMiniLog::Init(log.c_str(), -1);
    }
    void TearDown() override { CMiniLog::Init(L"", -1); }

    std::wstring ReadLog(const std::wstring& path) {
        std::string bytes;
        if (!ReadBytes(path, bytes)) return L"<missing>";
        return Utf16LeToWide(bytes);
    }

    std::wstring log;
};

// "YYYY/MM/DD hh:mm:ss.mmm " then the message then CR LF.
void ExpectStampedLine(const std::wstring& line, const std::wstring& message) {
    ASSERT_GE(line.size(), 24u + message.size() + 2u) << Narrow(line);
    const wchar_t* pattern = L"dddd/dd/dd dd:dd:dd.ddd ";
    for (size_t i = 0; i < 24; ++i) {
        if (pattern[i] == L'd') {
            EXPECT_TRUE(line[i] >= L'0' && line[i] <= L'9') << "position " << i << " in " << Narrow(line);
        } else {
            EXPECT_EQ(pattern[i], line[i]) << "position " << i << " in " << Narrow(line);
        }
    }
    EXPECT_EQ(message + L"\r\n", line.substr(24));
}

TEST_F(MiniLogTest, LineBytesAreUtf16LeWithStampAndCrLf) {
    SYSTEMTIME before;
    ::GetLocalTime(&before);
    CMiniLog(-1).Write(L"[Open] E_ESYS_MEDIUMNOTREADY %08x %s", 3, L"C:\\x.mp3");

    std::string bytes;
    ASSERT_TRUE(ReadBytes(log, bytes));
    ASSERT_GE(bytes.size(), 2u);
    // No byte-order mark: the file starts with the year's first digit.
    EXPECT_EQ('0' + before.wYear / 1000, bytes[0]);
    EXPECT_EQ(0, bytes[1]);
    EXPECT_EQ(0u, bytes.size() % 2);
    std::wstring text = Utf16LeToWide(bytes);
    ExpectStampedLine(text, L"[Open] E_ESYS_MEDIUMNOTREADY 00000003 C:\\x.mp3");
    wchar_t date[16];
    std::swprintf(date, 16, L"%04d/%02d/%02d", before.wYear, before.wMonth, before.wDay);
    EXPECT_EQ(std::wstring(date), text.substr(0, 10));
}

TEST_F(MiniLogTest, EmptyMessageAndPercentInArgumentsAreWrittenAsFormatted) {
    CMiniLog(-1).Write(L"");
    CMiniLog(-1).Write(L"[Read] E_INVALIDARG %s", L"C:\\100% Hits\\a%sb.mp3");
    CMiniLog(-1).Write(L"50%% done");
    std::wstring text = ReadLog(log);
    size_t first = text.find(L"\r\n") + 2;
    size_t second = text.find(L"\r\n", first) + 2;
    ExpectStampedLine(text.substr(0, first), L"");
    ExpectStampedLine(text.substr(first, second - first), L"[Read] E_INVALIDARG C:\\100% Hits\\a%sb.mp3");
    ExpectStampedLine(text.substr(second), L"50% done");
}

TEST_F(MiniLogTest, RotatesOnlyAboveOneMebibyteAndReplacesTheOldBackup) {
    struct Case {
        size_t size;
        bool rotates;
    } cases[] = {{1048576, false}, {1048577, true}};
    std::wstring bak = Join(TestFolder(), L"name.bak");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        ASSERT_TRUE(WriteBytes(log, std::string(c.size, 'x')));
        ASSERT_TRUE(WriteBytes(bak, "old backup"));
        CMiniLog(-1).Write(L"next line");
        std::string logBytes, bakBytes;
        ASSERT_TRUE(ReadBytes(log, logBytes));
        ASSERT_TRUE(ReadBytes(bak, bakBytes));
        if (c.rotates) {
            EXPECT_EQ(c.size, bakBytes.size()) << "the full log became the backup";
            ExpectStampedLine(Utf16LeToWide(logBytes), L"next line");
        } else {
            EXPECT_EQ("old backup", bakBytes);
            EXPECT_EQ(c.size + (24 + 9 + 2) * 2, logBytes.size());
        }
    }
}

TEST_F(MiniLogTest, WritesNothingWithoutInitOrWithoutItsFolder) {
    CMiniLog::Init(L"", -1);
    CMiniLog(-1).Write(L"lost");
    std::wstring missing = Join(Join(TestFolder(), L"no such folder"), L"name.log");
    CMiniLog::Init(missing.c_str(), -1);
    CMiniLog(-1).Write(L"lost");
    EXPECT_FALSE(FileExists(missing));
    EXPECT_FALSE(FileExists(Join(TestFolder(), L"no such folder")));
    EXPECT_FALSE(FileExists(log));
}

TEST_F(MiniLogTest, LevelAboveThresholdIsDropped) {
    CMiniLog::Init(log.c_str(), 2);
    CMiniLog(3).Write(L"dropped");
    CMiniLog(2).Write(L"kept");
    CMiniLog(-1).Write(L"always");
    std::wstring text = ReadLog(log);
    EXPECT_EQ(std::wstring::npos, text.find(L"dropped"));
    EXPECT_NE(std::wstring::npos, text.find(L"kept"));
    EXPECT_NE(std::wstring::npos, text.find(L"always"));
}

TEST_F(MiniLogTest, AbandonedMutexStillLetsTheLineThroughAndIsFreedAfterwards) {
    const wchar_t* name = L"MUTEX_NAME_FOR_MINILOG_name.log";
    std::thread([name] {
        HANDLE m = ::CreateMutexW(nullptr, TRUE, name);
        (void)m;  // the thread ends owning it: the mutex is abandoned
    }).join();
    CMiniLog(-1).Write(L"after abandon");
    ExpectStampedLine(ReadLog(log), L"after abandon");

    CHandle m(::CreateMutexW(nullptr, FALSE, name));
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(m.Get(), 0)) << "the writer released the mutex";
    ::ReleaseMutex(m.Get());
}

TEST_F(MiniLogTest, TwoProcessesAcrossARotationLoseAndInterleaveNothing) {
    const int kLines = 10000;
    // 20,000 lines of about 100 bytes after this start rotate the log once,
    // early enough that the rest stays below the limit.
    std::wstring prefill;
    for (int i = 0; prefill.size() < 5000; ++i) prefill += L"2024/01/01 00:00:00.000 earlier " + std::to_wstring(i) + L"\r\n";
    std::string before;
    for (wchar_t ch : prefill) before += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
    ASSERT_TRUE(WriteBytes(log, before));
    uidrv::Process a, b;
    std::wstring args = L"--child-writer \"" + log + L"\" " + std::to_wstring(kLines);
    ASSERT_TRUE(a.Start(g_self, args + L" A"));
    ASSERT_TRUE(b.Start(g_self, args + L" B"));
    ASSERT_TRUE(a.WaitExit(120000));
    ASSERT_TRUE(b.WaitExit(120000));
    EXPECT_EQ(0u, a.ExitCode());
    EXPECT_EQ(0u, b.ExitCode());

    std::string backupBytes, logBytes;
    ASSERT_TRUE(ReadBytes(Join(TestFolder(), L"name.bak"), backupBytes)) << "no rotation";
    ASSERT_TRUE(ReadBytes(log, logBytes));
    EXPECT_GT(backupBytes.size(), 1048576u);
    EXPECT_LT(backupBytes.size(), 1048576u + 200u) << "the backup ends with the line that crossed the limit";
    EXPECT_LE(logBytes.size(), 1048576u) << "a second rotation would have dropped lines";
    ASSERT_EQ(before, backupBytes.substr(0, before.size())) << "the backup begins with the old log, byte for byte";
    std::wstring text = ReadLog(Join(TestFolder(), L"name.bak")).substr(prefill.size()) + ReadLog(log);
    int next[2] = {0, 0};
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find(L"\r\n", pos);
        ASSERT_NE(std::wstring::npos, end);
        std::wstring line = text.substr(pos, end - pos + 2);
        pos = end + 2;
        ASSERT_GE(line.size(), 30u) << Narrow(line);
        int who = line[30] == L'A' ? 0 : 1;
        // Each writer's lines in its own order, whole, none missing.
        std::wstring want = std::wstring(L"child ") + line[30] + L" line " + std::to_wstring(next[who]++) + L" padding";
        ExpectStampedLine(line, want);
        if (HasFailure()) return;
    }
    EXPECT_EQ(kLines, next[0]);
    EXPECT_EQ(kLines, next[1]);
}

TEST(MakeLogPath, UsesTheModuleNameUpToItsFirstDot) {
    struct Case {
        const wchar_t* module;
        const wchar_t* temp;
        const wchar_t* want;
    } cases[] = {
        {L"E:\\Quavercart.exe", L"C:\\Temp\\", L"C:\\Temp\\Quavercart.log"},
        {L"E:\\Tools\\a.b.exe", L"C:\\Temp\\", L"C:\\Temp\\a.log"},
        {L"E:\\name.exe", L"C:\\Users\\x\\Temp", L"C:\\Users\\x\\Temp\\name.log"},
    };
    for (const Case& c : cases) {
        wchar_t out[MAX_PATH + 1];
        ASSERT_TRUE(MakeLogPath(c.module, c.temp, out)) << Narrow(c.module);
        EXPECT_STREQ(c.want, out) << Narrow(c.module);
    }
    wchar_t out[MAX_PATH + 1];
    EXPECT_FALSE(MakeLogPath(L"", L"C:\\Temp\\", out));
}

TEST(MakeBackupPath, ReplacesTheExtension) {
    wchar_t out[MAX_PATH + 1];
    CMiniLog::MakeBackupPath(L"C:\\Temp\\name.log", out);
    EXPECT_STREQ(L"C:\\Temp\\name.bak", out);
}

int ChildWriter(const wchar_t* path, int lines, const wchar_t* who) {
    CMiniLog::Init(path, -1);
    for (int i = 0; i < lines; ++i) CMiniLog(-1).Write(L"child %s line %d padding", who, i);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wstring(argv[1]) == L"--child-writer") return ChildWriter(argv[2], _wtoi(argv[3]), argv[4]);
    wchar_t self[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    g_self = self;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
