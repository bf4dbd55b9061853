#include "EngineSupport.h"
#include "engine/CopyRules.h"
#include "engine/MatchIndex.h"
#include "engine/WorkThread.h"

#include <gtest/gtest.h>
#include <errno.h>
#include <memory>
#include <shlwapi.h>

using namespace qctest;

namespace {
const wchar_t kFolder[] = L"C:\\qcsrc\\rules";

std::wstring Unique(const std::wstring& path) {
    wchar_t buffer[kDestPathChars];
    ::lstrcpynW(buffer, path.c_str(), kDestPathChars);
    MakeUniqueDestPath(buffer);
    return buffer;
}
} // namespace

TEST(MakeUniqueDestPath, NumbersFromTwoAndCountFoldersAsTaken) {
    ResetSources();
    const std::wstring f = kFolder;
    ASSERT_TRUE(MakeFile(f + L"\\song.mp3", 1));
    ASSERT_TRUE(MakeFile(f + L"\\readme", 1));
    ASSERT_TRUE(MakeFile(f + L"\\twice.mp3", 1));
    ASSERT_TRUE(MakeFile(f + L"\\twice (02).mp3", 1));
    ASSERT_TRUE(MakeDirs(f + L"\\folder (02).wma"));
    ASSERT_TRUE(MakeFile(f + L"\\a.b.mp3", 1));
    struct Case {
        const char* name;
        std::wstring taken, expected;
    } cases[] = {
        {"first free name is (02)", f + L"\\song.mp3", f + L"\\song (02).mp3"},
        {"(02) taken gives (03)", f + L"\\twice.mp3", f + L"\\twice (03).mp3"},
        {"no extension", f + L"\\readme", f + L"\\readme (02)"},
        {"a folder of that name is taken", f + L"\\folder.wma", f + L"\\folder (03).wma"},
        {"only the last dot starts the extension", f + L"\\a.b.mp3", f + L"\\a.b (02).mp3"},
    };
    for (const Case& c : cases) EXPECT_EQ(Narrow(c.expected), Narrow(Unique(c.taken))) << c.name;

    for (int n = 2; n <= 100; ++n) {
        wchar_t name[64];
        ::wsprintfW(name, L"\\many (%02d).mp3", n);
        ASSERT_TRUE(MakeFile(f + name, 0));
    }
    EXPECT_EQ(Narrow(f + L"\\many (101).mp3"), Narrow(Unique(f + L"\\many.mp3"))) << "three digits from 100 on";
}

TEST(MegabytesStillNeeded, TheWorkedExamplesAndNoWrap) {
    const ULONGLONG MB = 1048576;
    struct Case {
        const char* name;
        ULONGLONG remaining, usableMb, expected;
    } cases[] = {
        {"20 MB left, 5 MB usable", 20 * MB, 5, 15},
        {"one whole kilobyte more rounds up", 20 * MB + 1024, 5, 16},
        {"less than a kilobyte more does not", 20 * MB + 1000, 5, 15},
        {"a kilobyte high in the last megabyte", 20 * MB + 0xFFC00, 5, 16},
        {"bits above 19 do not round", 21 * MB, 5, 16},
        // The file grew after the search: less is left than there is room.
        {"remaining below usable reports 1", 3 * MB, 5, 1},
        {"nothing left reports 1", 0, 5, 1},
        {"equal whole megabytes reports 1", 5 * MB + 100, 5, 1},
        {"no room at all", 7 * MB, 0, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, MegabytesStillNeeded(c.remaining, c.usableMb)) << c.name;
}

TEST(UsableFreeBytes, ADriveThatCannotBeAskedHasNoRoom) {
    SetFreeSpaceMargin(0, 0);
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\")) << "no such drive";
    EXPECT_EQ(0u, GetUsableFreeMegabytes(L"Q:\\"));
    EXPECT_GT(GetUsableFreeBytes(L"C:\\"), 0u);
}

TEST(MakePartialCopyPath, SameFolderNoExtensionAndFitsMaxPath) {
    wchar_t partial[MAX_PATH + 1];
    ASSERT_TRUE(MakePartialCopyPath(L"E:\\Music\\Artist\\song.mp3", partial));
    EXPECT_EQ(std::wstring(L"E:\\Music\\Artist\\") + kPartialCopyName, partial);
    EXPECT_EQ(L'\0', *::PathFindExtensionW(partial)) << "an extension could be matched by a table";
    EXPECT_FALSE(MakePartialCopyPath(L"song.mp3", partial)) << "no folder part";
    std::wstring deep = L"E:\\" + std::wstring(MAX_PATH - 5, L'd') + L"\\a.mp3";
    EXPECT_FALSE(MakePartialCopyPath(deep.c_str(), partial)) << "beyond MAX_PATH";
}

TEST(MatchIndex, SameStampSizeAndPathIgnoringOnlyAsciiCase) {
    auto make = [](const wchar_t* stamp, ULONGLONG size, const wchar_t* path) {
        auto* r = new CTransferFile;
        r->SetTimeStamp(stamp);
        r->SetFileSize(size);
        r->SetPath(path);
        return r;
    };
    std::unique_ptr<CTransferFile> known(make(L"20070314093005", 4194304, L"C:\\Data\\Music\\Song.mp3"));
    CMatchIndex index;
    index.Add(known.get());
    struct Case {
        const char* name;
        const wchar_t* stamp;
        ULONGLONG size;
        const wchar_t* path;
        bool found;
    } cases[] = {
        {"identical", L"20070314093005", 4194304, L"C:\\Data\\Music\\Song.mp3", true},
        {"path in other letter case", L"20070314093005", 4194304, L"c:\\DATA\\music\\song.MP3", true},
        {"other stamp", L"20070314093006", 4194304, L"C:\\Data\\Music\\Song.mp3", false},
        {"other size", L"20070314093005", 4194305, L"C:\\Data\\Music\\Song.mp3", false},
        {"other path", L"20070314093005", 4194304, L"C:\\Data\\Music\\Song2.mp3", false},
        {"prefix of the path", L"20070314093005", 4194304, L"C:\\Data\\Music\\Song.mp", false},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CTransferFile> probe(make(c.stamp, c.size, c.path));
        EXPECT_EQ(c.found, index.Find(*probe) == known.get()) << c.name;
    }
    // Only A to Z fold: other letters keep their case.
    std::unique_ptr<CTransferFile> accented(make(L"20070314093005", 1, L"C:\\\x00C9t\x00E9.mp3"));
    index.Add(accented.get());
    std::unique_ptr<CTransferFile> otherCase(make(L"20070314093005", 1, L"C:\\\x00E9t\x00E9.mp3"));
    EXPECT_EQ(nullptr, index.Find(*otherCase));
    index.Remove(known.get());
    std::unique_ptr<CTransferFile> again(make(L"20070314093005", 4194304, L"C:\\Data\\Music\\Song.mp3"));
    EXPECT_EQ(nullptr, index.Find(*again)) << "removed";
    EXPECT_EQ(1u, index.Size());
}

namespace {
class CJob : public CWorkThread {
public:
    unsigned Run(void* owner) override {
        seenOwner = owner;
        while (!IsStopRequested()) ::Sleep(1);
        return 7;
    }
    void* seenOwner = nullptr;
};
} // namespace

TEST(WorkThread, StartStopAndExitCode) {
    CJob job;
    EXPECT_EQ(0, job.IsRunning()) << "before Start";
    EXPECT_EQ(0, job.IsStopRequested());
    int owner = 0;
    ASSERT_EQ(0, job.Start(&owner));
    EXPECT_EQ(1, job.IsRunning());
    EXPECT_EQ(EBUSY, job.Start(&owner)) << "a second start while running";
    EXPECT_EQ(STILL_ACTIVE, job.GetExitCode());
    EXPECT_EQ(0, job.Stop(CWorkThread::kStopWaitForever, 0));
    EXPECT_EQ(0, job.IsRunning());
    EXPECT_EQ(1, job.IsStopRequested()) << "the request stays until ResetStop";
    EXPECT_EQ(7u, job.GetExitCode());
    EXPECT_EQ(&owner, job.seenOwner);
    job.ResetStop();
    EXPECT_EQ(0, job.IsStopRequested());
    // Started anew after its end, as the window does for every transfer.
    ASSERT_EQ(0, job.Start(nullptr));
    EXPECT_EQ(0, job.Stop(CWorkThread::kStopWaitTimeout, 5000));
    EXPECT_EQ(0, job.IsRunning());
}

TEST(TransferText, BuffersAre2048ZeroedBytesOfTheProcessHeap) {
    wchar_t* text = AllocTransferText();
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(2048u, ::HeapSize(::GetProcessHeap(), 0, text));
    for (int i = 0; i < kTransferTextChars; ++i) ASSERT_EQ(L'\0', text[i]) << i;
    FreeTransferText(text);
}
