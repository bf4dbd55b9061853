#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

namespace {

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
        SetFreeSpaceMargin(0, 0);
    }
};

bool SameContent(const std::wstring& a, const std::wstring& b) {
    std::string x, y;
    return ReadBytes(a, x) && ReadBytes(b, y) && x == y;
}

std::string Box126(const std::wstring& name) {
    return Narrow(L"Transfer failed because the file \"" + name + L"\" could not be written to the destination folder."
                  L"\n\nThe destination folder may be write-protected, or an existing file of the same name may be "
                  L"in use.\n");
}

} // namespace

TEST_F(CopyTest, ChunksProgressAndContent) {
    struct Case {
        const char* name;
        ULONGLONG size;
        std::vector<LPARAM> percents;
    } cases[] = {
        {"empty file makes no chunk", 0, {}},
        {"65,536 bytes in one chunk", 65536, {}},
        {"65,537 bytes in two chunks", 65537, {100}},
        {"four chunks", 3 * 65536 + 5, {66, 99, 100}},
        // Each figure is posted once, rising, however many chunks share it.
        {"300 chunks", 300 * 65536, [] {
             std::vector<LPARAM> all;
             for (LPARAM i = 0; i <= 100; ++i) all.push_back(i);
             return all;
         }()},
    };
    for (const Case& c : cases) {
        CTestThread worker;
        CRecorder rec;
        ::DeleteFileW(L"E:\\Music\\chunks.mp3");
        ASSERT_TRUE(MakeFile(Src(L"chunks.mp3"), c.size)) << c.name;
        worker.SetTotalBytes(c.size);
        EXPECT_TRUE(WriteHere(worker, rec, Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.name;
        EXPECT_TRUE(SameContent(Src(L"chunks.mp3"), L"E:\\Music\\chunks.mp3")) << c.name;
        // The first chunk of a transfer posts no progress; success posts no line.
        EXPECT_EQ(c.percents, rec.LParams(WM_APP_SET_PROGRESS_POS)) << c.name;
        EXPECT_EQ(c.percents.size(), rec.messages.size()) << c.name << "\n" << rec.Describe();
        EXPECT_EQ(c.size ? 1u : 0u, worker.GetProgressTick()) << c.name;
        EXPECT_EQ(c.size, worker.GetTransferredBytes()) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"chunks.mp3"}, ListFolder(L"E:\\Music")) << c.name;
    }
}

TEST_F(CopyTest, FailuresReportTheirLineAndBoxAndLeaveNothingBehind) {
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 5 * 65536));
    ASSERT_TRUE(MakeFile(L"E:\\Blocked", 1));  // a file where the folder should be
    ASSERT_TRUE(MakeFile(L"E:\\Music\\old.mp3", 10));
    const std::wstring longFolder = L"E:\\Long\\" + std::wstring(200, L'f');
    const std::wstring longName = longFolder + L"\\" + std::wstring(258 - longFolder.size() - 5, L'n') + L".mp3";
    ASSERT_TRUE(MakeFile(longName, 1));
    wchar_t renamed[kDestPathChars];
    ::lstrcpynW(renamed, longName.c_str(), kDestPathChars);
    MakeUniqueDestPath(renamed);
    ASSERT_EQ(263, ::lstrlenW(renamed));
    const std::string missing = "(16) The file \"x.mp3\" could not be found.\n\nThe file may have been deleted while "
                                "transfer was in progress.\n";
    const std::string inUse = "(16) The file \"x.mp3\" could not be transferred because it is being used by another "
                              "program.\n\nClose all programs that may be using the file, and try transferring "
                              "again.\n";
    const std::wstring unreadable = L"Failed. (Source file could not be read.)";
    const std::wstring uncreated = L"Failed. (Destination file could not be created.)";
    struct Case {
        const char* name;
        std::wstring source, dest;
        int folderErrFlg;
        Fault sourceFault, destFault;
        std::wstring line;
        std::string box;
    } cases[] = {
        {"missing source", Src(L"gone\\x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kNone, unreadable,
         missing},
        {"size unknown after Exists", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kSizeFails, Fault::kNone,
         unreadable, missing},
        {"read fails halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kReadFails, Fault::kNone, unreadable,
         inUse},
        {"source shrank: a read returns 0 bytes early", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kShrinks,
         Fault::kNone, unreadable, inUse},
        {"folder cannot be made", Src(L"x.mp3"), L"E:\\Blocked\\x.mp3", 0, Fault::kNone, Fault::kNone, uncreated, ""},
        {"folder cannot be made, flag set", Src(L"x.mp3"), L"E:\\Blocked\\x.mp3", 1, Fault::kNone, Fault::kNone,
         L"Failed. (Destination folder could not be created.)", ""},
        {"existing 258-character name renamed to 263", Src(L"x.mp3"), renamed, 0, Fault::kNone, Fault::kNone,
         uncreated, ""},
        {"existing name renamed beyond the limit, flag set", Src(L"x.mp3"), renamed, 1, Fault::kNone, Fault::kNone,
         L"Failed. (Destination folder could not be created.)", ""},
        {"an existing file is never overwritten", Src(L"x.mp3"), L"E:\\Music\\old.mp3", 0, Fault::kNone, Fault::kNone,
         uncreated, ""},
        {"write fails halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kWriteFails, uncreated, ""},
        {"short write halfway", Src(L"x.mp3"), L"E:\\Music\\x.mp3", 0, Fault::kNone, Fault::kShortWrite, uncreated, ""},
    };
    for (const Case& c : cases) {
        CTestThread worker;
        CRecorder rec;
        worker.SetFolderErrFlg(c.folderErrFlg);
        worker.sourceFault = c.sourceFault;
        worker.destFault = c.destFault;
        worker.faultAfter = 2 * 65536;
        const std::wstring folder = c.dest.substr(0, c.dest.rfind(L'\\'));
        const auto before = ListFolder(folder);
        const ULONGLONG sizeBefore = SizeOf(c.dest);
        EXPECT_FALSE(WriteHere(worker, rec, c.source, c.dest)) << c.name;
        // The line replaces the pending one, then the box.
        std::string box = c.box.empty() ? "(16) " + Box126(c.dest.substr(folder.size() + 1)) : c.box;
        EXPECT_EQ("LOG(1) " + LogLine(c.source, c.line) + "\nBOX" + box + "\n", rec.Describe(WM_APP_SET_PROGRESS_POS))
            << c.name;
        EXPECT_EQ(sizeBefore, SizeOf(c.dest)) << c.name;
        EXPECT_EQ(before, ListFolder(folder)) << c.name << ": nothing left behind";
    }
}

TEST_F(CopyTest, AnInterruptedCopyNeverLeavesTheRealNameAndItsRestIsRemovedNextTime) {
    ASSERT_TRUE(MakeFile(Src(L"song.mp3"), 5 * 65536));
    CTestThread worker;
    CRecorder rec;
    // The player goes away mid-copy: writes fail and nothing can be deleted.
    worker.destFault = Fault::kVanishes;
    worker.faultAfter = 2 * 65536;
    EXPECT_FALSE(WriteHere(worker, rec, Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    EXPECT_EQ(std::vector<std::wstring>{kPartialCopyName}, ListFolder(L"E:\\Music")) << "nothing under the real name";
    worker.destFault = Fault::kNone;
    ASSERT_TRUE(WriteHere(worker, rec, Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    EXPECT_EQ(std::vector<std::wstring>{L"song.mp3"}, ListFolder(L"E:\\Music"));
    EXPECT_TRUE(SameContent(Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
}

TEST_F(CopyTest, AFolderTooDeepForThePartialNameGetsTheSongUnderItsOwnName) {
    const std::wstring folder = L"E:\\Deep\\" + std::wstring(243, L'd');
    const std::wstring dest = folder + L"\\01.mp3";
    ASSERT_EQ(258u, dest.size());
    ASSERT_TRUE(MakeFile(Src(L"01.mp3"), 3 * 65536 + 1));
    ASSERT_TRUE(MakeDirs(folder));
    CTestThread worker;
    CRecorder rec;
    EXPECT_TRUE(WriteHere(worker, rec, Src(L"01.mp3"), dest)) << rec.Describe();
    EXPECT_TRUE(SameContent(Src(L"01.mp3"), dest));
    EXPECT_EQ(std::vector<std::wstring>{L"01.mp3"}, ListFolder(folder));
}

// The host mounts E:\ReadOnly read-only for this program (root is not stopped
// by permissions).
TEST_F(CopyTest, AReadOnlyFolderFailsWithLine133AndBox126) {
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted on the player";
    CTransferThread worker;
    CRecorder rec;
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 70000));
    EXPECT_FALSE(WriteHere(worker, rec, Src(L"x.mp3"), L"E:\\ReadOnly\\x.mp3"));
    EXPECT_EQ("LOG(1) " + LogLine(Src(L"x.mp3"), L"Failed. (Destination file could not be created.)") + "\nBOX(16) " +
                  Box126(L"x.mp3") + "\n",
              rec.Describe());
    EXPECT_TRUE(ListFolder(L"E:\\ReadOnly").empty());
}
