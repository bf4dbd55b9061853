#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <shlwapi.h>
#include <cstdlib>

using namespace qctest;

namespace {

// A medium that misbehaves after a number of bytes.
class CFaultyFile : public CSysFile {
public:
    // kVanishes: writes fail after the given bytes and nothing can be deleted any more.
    enum Fault { kNone, kShrinks, kReadFails, kWriteFails, kSizeFails, kVanishes };
    CFaultyFile(Fault fault, ULONGLONG after) : m_fault(fault), m_after(after) {}

    HRESULT Read(DWORD count, DWORD& read, void* buffer) override {
        if (m_done >= m_after && (m_fault == kShrinks || m_fault == kReadFails)) {
            read = 0;
            return m_fault == kShrinks ? S_OK : E_FAIL;
        }
        HRESULT hr = CSysFile::Read(count, read, buffer);
        m_done += read;
        return hr;
    }
    HRESULT Write(DWORD count, const void* data, DWORD& written) override {
        if ((m_fault == kWriteFails || m_fault == kVanishes) && m_done >= m_after) {
            written = 0;
            return E_FAIL;
        }
        HRESULT hr = CSysFile::Write(count, data, written);
        m_done += written;
        return hr;
    }
    HRESULT GetSize(ULONGLONG& size) const override {
        return m_fault == kSizeFails ? E_FAIL : CSysFile::GetSize(size);
    }
    HRESULT Delete() override { return m_fault == kVanishes ? E_FAIL : CSysFile::Delete(); }

private:
    Fault m_fault;
    ULONGLONG m_after;
    ULONGLONG m_done = 0;
};

class CTestThread : public CTransferThread {
public:
    CFaultyFile::Fault sourceFault = CFaultyFile::kNone;
    CFaultyFile::Fault destFault = CFaultyFile::kNone;
    ULONGLONG faultAfter = 0;

protected:
    std::unique_ptr<CSysFile> NewFileObject(FileRole role) override {
        return std::make_unique<CFaultyFile>(role == FileRole::kSource ? sourceFault : destFault, faultAfter);
    }
};

class CopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetPlayer();
        ResetSources();
        SetFreeSpaceMargin(0, 0);
    }
    bool Write(const std::wstring& source, const std::wstring& dest) { return WriteHere(worker, recorder, source, dest); }
    std::wstring Src(const wchar_t* name) { return Join(kSourceRoot, name); }

    CTestThread worker;
    CRecorder recorder;
};

bool SameContent(const std::wstring& a, const std::wstring& b) {
    std::string x, y;
    return ReadBytes(a, x) && ReadBytes(b, y) && x == y;
}

} // namespace

TEST_F(CopyTest, ChunksProgressAndContent) {
    struct Case {
        const char* name;
        ULONGLONG size;
        int progressMessages;
        DWORD tickAfter;
    } cases[] = {
        {"empty file makes no chunk", 0, 0, 0},
        {"one byte", 1, 0, 1},
        {"65,536 bytes in one chunk", 65536, 0, 1},
        {"65,537 bytes in two chunks", 65537, 1, 1},
        {"four chunks", 3 * 65536 + 5, 3, 1},
    };
    for (const Case& c : cases) {
        CTestThread fresh;
        CRecorder rec;
        std::wstring src = Src(L"chunks.mp3");
        std::wstring dst = L"E:\\Music\\chunks.mp3";
        ::DeleteFileW(dst.c_str());
        ASSERT_TRUE(MakeFile(src, c.size)) << c.name;
        fresh.SetTotalBytes(c.size);
        EXPECT_TRUE(WriteHere(fresh, rec, src, dst)) << c.name;
        EXPECT_TRUE(SameContent(src, dst)) << c.name;
        EXPECT_EQ(c.progressMessages, rec.Count(WM_APP_SET_PROGRESS_POS)) << c.name;
        EXPECT_EQ(c.tickAfter, fresh.GetProgressTick()) << c.name;
        EXPECT_EQ(c.size, fresh.GetTransferredBytes()) << c.name;
        EXPECT_EQ(0, rec.Count(WM_APP_LOG_LINE) + rec.Count(WM_APP_MESSAGE_BOX)) << c.name << ": success posts no line";
        EXPECT_FALSE(FileExists(std::wstring(L"E:\\Music\\") + kPartialCopyName)) << c.name;
    }
}

TEST_F(CopyTest, ProgressCountsBytesAcrossFilesPostsEachFigureOnceAndNotForTheFirstChunk) {
    ASSERT_TRUE(MakeFile(Src(L"a.mp3"), 65536));
    ASSERT_TRUE(MakeFile(Src(L"b.mp3"), 3 * 65536));
    worker.SetTotalBytes(4 * 65536);
    ASSERT_TRUE(Write(Src(L"a.mp3"), L"E:\\Music\\a.mp3"));
    ASSERT_TRUE(Write(Src(L"b.mp3"), L"E:\\Music\\b.mp3"));
    std::vector<LPARAM> percents;
    for (const Posted& p : recorder.messages) {
        if (p.message == WM_APP_SET_PROGRESS_POS) percents.push_back(p.lParam);
    }
    EXPECT_EQ((std::vector<LPARAM>{50, 75, 100}), percents) << recorder.Describe();

    // 300 chunks: each figure is posted once, rising, however many chunks share it.
    CTransferThread big;
    CRecorder bigRecorder;
    ASSERT_TRUE(MakeFile(Src(L"c.mp3"), 300 * 65536));
    big.SetTotalBytes(300 * 65536);
    ASSERT_TRUE(WriteHere(big, bigRecorder, Src(L"c.mp3"), L"E:\\Music\\c.mp3"));
    percents.clear();
    for (const Posted& p : bigRecorder.messages) percents.push_back(p.lParam);
    ASSERT_EQ(101u, percents.size()) << "0 to 100";
    for (size_t i = 0; i < percents.size(); ++i) EXPECT_EQ(static_cast<LPARAM>(i), percents[i]);
}

TEST_F(CopyTest, SourceFailuresReportLine129AndTheirBox) {
    struct Case {
        const char* name;
        CFaultyFile::Fault fault;
        bool createSource;
        const wchar_t* box;
    } cases[] = {
        {"missing source", CFaultyFile::kNone, false,
         L"The file \"gone.mp3\" could not be found.\n\nThe file may have been deleted while transfer was in progress.\n"},
        {"size unknown after Exists", CFaultyFile::kSizeFails, true,
         L"The file \"gone.mp3\" could not be found.\n\nThe file may have been deleted while transfer was in progress.\n"},
        {"read fails halfway", CFaultyFile::kReadFails, true,
         L"The file \"gone.mp3\" could not be transferred because it is being used by another program.\n\nClose all "
         L"programs that may be using the file, and try transferring again.\n"},
        {"source shrank: a read returns 0 bytes early", CFaultyFile::kShrinks, true,
         L"The file \"gone.mp3\" could not be transferred because it is being used by another program.\n\nClose all "
         L"programs that may be using the file, and try transferring again.\n"},
    };
    for (const Case& c : cases) {
        CTestThread w;
        CRecorder rec;
        w.sourceFault = c.fault;
        w.faultAfter = 2 * 65536;
        std::wstring src = Src(L"gone.mp3");
        ::DeleteFileW(src.c_str());
        if (c.createSource) {
            ASSERT_TRUE(MakeFile(src, 5 * 65536)) << c.name;
        }
        EXPECT_FALSE(WriteHere(w, rec, src, L"E:\\Music\\gone.mp3")) << c.name;
        ASSERT_EQ(2u, rec.messages.size() - rec.Count(WM_APP_SET_PROGRESS_POS)) << c.name << "\n" << rec.Describe();
        const Posted* line = nullptr;
        const Posted* box = nullptr;
        for (const Posted& p : rec.messages) {
            if (p.message == WM_APP_LOG_LINE) line = &p;
            if (p.message == WM_APP_MESSAGE_BOX) box = &p;
        }
        ASSERT_TRUE(line && box) << c.name << "\n" << rec.Describe();
        EXPECT_LT(line - rec.messages.data(), box - rec.messages.data()) << c.name << ": line before box";
        EXPECT_EQ(1u, line->wParam) << c.name << ": replaces the pending line";
        EXPECT_EQ(Narrow(L"Transferring " + src + L" ... Failed. (Source file could not be read.)"), Narrow(line->text))
            << c.name;
        EXPECT_EQ(static_cast<WPARAM>(MB_ICONERROR), box->wParam) << c.name;
        EXPECT_EQ(Narrow(c.box), Narrow(box->text)) << c.name;
        EXPECT_TRUE(ListFolder(L"E:\\Music").empty()) << c.name << ": nothing left behind";
    }
}

TEST_F(CopyTest, DestinationFailuresReportTheirLineAndBox126) {
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 3 * 65536));
    ASSERT_TRUE(MakeFile(L"E:\\Blocked", 1));  // a file where the folder should be
    std::wstring longFolder = L"E:\\Long\\" + std::wstring(200, L'f');
    std::wstring longName = longFolder + L"\\" + std::wstring(258 - longFolder.size() - 5, L'n') + L".mp3";
    ASSERT_EQ(258u, longName.size());
    ASSERT_TRUE(MakeFile(longName, 1));
    wchar_t renamed[kDestPathChars];
    ::lstrcpynW(renamed, longName.c_str(), kDestPathChars);
    MakeUniqueDestPath(renamed);
    ASSERT_EQ(263, ::lstrlenW(renamed));
    struct Case {
        const char* name;
        std::wstring dest;
        int folderErrFlg;
        CFaultyFile::Fault destFault;
        const wchar_t* line;
    } cases[] = {
        {"folder cannot be made", L"E:\\Blocked\\x.mp3", 0, CFaultyFile::kNone, L"Destination file could not be created."},
        {"folder cannot be made, flag set", L"E:\\Blocked\\x.mp3", 1, CFaultyFile::kNone,
         L"Destination folder could not be created."},
        {"existing 258-character name renamed to 263", renamed, 0, CFaultyFile::kNone,
         L"Destination file could not be created."},
        {"write fails halfway", L"E:\\Music\\x.mp3", 0, CFaultyFile::kWriteFails,
         L"Destination file could not be created."},
    };
    for (const Case& c : cases) {
        CTestThread w;
        CRecorder rec;
        w.SetFolderErrFlg(c.folderErrFlg);
        w.destFault = c.destFault;
        w.faultAfter = 65536;
        auto before = ListFolder(longFolder);
        EXPECT_FALSE(WriteHere(w, rec, Src(L"x.mp3"), c.dest)) << c.name;
        auto log = rec.Log();
        auto boxes = rec.Boxes();
        ASSERT_EQ(1u, log.size()) << c.name << "\n" << rec.Describe();
        EXPECT_EQ(Narrow(L"Transferring " + Src(L"x.mp3") + L" ... Failed. (" + c.line + L")"), Narrow(log[0])) << c.name;
        ASSERT_EQ(1u, boxes.size()) << c.name;
        std::wstring name = ::PathFindFileNameW(c.dest.c_str());
        EXPECT_EQ(Narrow(L"Transfer failed because the file \"" + name +
                         L"\" could not be written to the destination folder.\n\nThe destination folder may be "
                         L"write-protected, or an existing file of the same name may be in use.\n"),
                  Narrow(boxes[0]))
            << c.name;
        EXPECT_FALSE(FileExists(c.dest)) << c.name;
        EXPECT_TRUE(ListFolder(L"E:\\Music").empty()) << c.name << ": nothing left behind";
        EXPECT_EQ(before, ListFolder(longFolder)) << c.name;
    }
}

TEST_F(CopyTest, AStopCutsAndDeletesTheCopySilently) {
    ASSERT_TRUE(MakeFile(Src(L"big.mp3"), 4 * 65536));
    worker.Stop(CWorkThread::kStopNoWait, 0);
    EXPECT_FALSE(Write(Src(L"big.mp3"), L"E:\\Music\\big.mp3"));
    EXPECT_TRUE(recorder.messages.empty()) << recorder.Describe();
    EXPECT_TRUE(ListFolder(L"E:\\Music").empty());
    EXPECT_EQ(0, worker.GetAbortFlg());
}

TEST_F(CopyTest, AnInterruptedCopyNeverLeavesTheRealNameAndItsRestIsRemovedNextTime) {
    ASSERT_TRUE(MakeFile(Src(L"song.mp3"), 5 * 65536));
    {
        // The player goes away mid-copy: writes fail and nothing can be deleted.
        CTestThread w;
        CRecorder rec;
        w.destFault = CFaultyFile::kVanishes;
        w.faultAfter = 2 * 65536;
        EXPECT_FALSE(WriteHere(w, rec, Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    }
    EXPECT_FALSE(FileExists(L"E:\\Music\\song.mp3")) << "a truncated song under the real name";
    EXPECT_EQ((std::vector<std::wstring>{kPartialCopyName}), ListFolder(L"E:\\Music"));
    // The next copy into that folder removes the rest and writes the good file.
    ASSERT_TRUE(Write(Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
    EXPECT_EQ((std::vector<std::wstring>{L"song.mp3"}), ListFolder(L"E:\\Music"));
    EXPECT_TRUE(SameContent(Src(L"song.mp3"), L"E:\\Music\\song.mp3"));
}

TEST_F(CopyTest, AnExistingDestinationIsNeverOverwritten) {
    ASSERT_TRUE(MakeFile(Src(L"new.mp3"), 70000));
    ASSERT_TRUE(MakeFile(L"E:\\Music\\new.mp3", 10));
    EXPECT_FALSE(Write(Src(L"new.mp3"), L"E:\\Music\\new.mp3"));
    EXPECT_EQ(10u, SizeOf(L"E:\\Music\\new.mp3"));
    EXPECT_EQ((std::vector<std::wstring>{L"new.mp3"}), ListFolder(L"E:\\Music"));
    ASSERT_EQ(1u, recorder.Log().size());
    EXPECT_NE(std::wstring::npos, recorder.Log()[0].find(L"Destination file could not be created.")) << recorder.Describe();
}

// The host mounts E:\ReadOnly read-only for this program (root is not stopped
// by permissions).
TEST_F(CopyTest, AReadOnlyFolderFailsWithLine133AndBox126) {
    const char* state = std::getenv("QC_READONLY_FOLDER");
    if (!state || std::string(state) != "mounted") GTEST_SKIP() << "no read-only folder could be mounted on the player";
    ASSERT_TRUE(MakeFile(Src(L"x.mp3"), 70000));
    EXPECT_FALSE(Write(Src(L"x.mp3"), L"E:\\ReadOnly\\x.mp3"));
    ASSERT_EQ(1u, recorder.Log().size()) << recorder.Describe();
    EXPECT_EQ(Narrow(L"Transferring " + Src(L"x.mp3") + L" ... Failed. (Destination file could not be created.)"),
              Narrow(recorder.Log()[0]));
    ASSERT_EQ(1u, recorder.Boxes().size());
    EXPECT_EQ(0u, recorder.Boxes()[0].find(L"Transfer failed because the file \"x.mp3\" could not be written"));
    EXPECT_TRUE(ListFolder(L"E:\\ReadOnly").empty());
}
