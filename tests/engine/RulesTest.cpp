#include "EngineSupport.h"
#include "engine/CopyRules.h"
#include "engine/MatchIndex.h"

#include <gtest/gtest.h>
#include <errno.h>
#include <shlwapi.h>

using namespace qctest;

TEST(MakeUniqueDestPath, NumbersFromTwoAndCountFoldersAsTaken) {
    ResetSources();
    const std::wstring f = Src(L"rules");
    for (const wchar_t* name : {L"song.mp3", L"readme", L"twice.mp3", L"twice (02).mp3", L"a.b.mp3"}) {
        ASSERT_TRUE(MakeFile(Join(f, name), 1)) << Narrow(name);
    }
    ASSERT_TRUE(MakeDirs(f + L"\\folder (02).wma"));
    for (int n = 2; n <= 100; ++n) {
        ASSERT_TRUE(MakeFile(f + L"\\many (" + (n < 10 ? L"0" : L"") + std::to_wstring(n) + L").mp3", 0));
    }
    struct Case {
        const char* name;
        const wchar_t *taken, *expected;
    } cases[] = {
        {"first free name is (02)", L"song.mp3", L"song (02).mp3"},
        {"(02) taken gives (03)", L"twice.mp3", L"twice (03).mp3"},
        {"no extension", L"readme", L"readme (02)"},
        {"a folder of that name is taken", L"folder.wma", L"folder (03).wma"},
        {"only the last dot starts the extension", L"a.b.mp3", L"a.b (02).mp3"},
        {"three digits from 100 on", L"many.mp3", L"many (101).mp3"},
    };
    for (const Case& c : cases) {
        wchar_t buffer[kDestPathChars];
        ::lstrcpynW(buffer, Join(f, c.taken).c_str(), kDestPathChars);
        MakeUniqueDestPath(buffer);
        EXPECT_EQ(Narrow(Join(f, c.expected)), Narrow(buffer)) << c.name;
    }
}

TEST(CopyRules, MegabytesStillNeededFreeSpaceAndPartialName) {
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
        {"equal whole megabytes reports 1", 5 * MB + 100, 5, 1},
        {"no room at all", 7 * MB, 0, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, MegabytesStillNeeded(c.remaining, c.usableMb)) << c.name;

    // A drive that cannot be asked (the player was removed) has no room.
    SetFreeSpaceMargin(0, 0);
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\"));
    EXPECT_EQ(0u, GetUsableFreeMegabytes(L"Q:\\"));
    EXPECT_GT(GetUsableFreeBytes(L"C:\\"), 0u);

    wchar_t partial[MAX_PATH + 1];
    ASSERT_TRUE(MakePartialCopyPath(L"E:\\Music\\Artist\\song.mp3", partial));
    EXPECT_EQ(std::wstring(L"E:\\Music\\Artist\\") + kPartialCopyName, partial);
    EXPECT_EQ(L'\0', *::PathFindExtensionW(partial)) << "an extension could be matched by a table";
    EXPECT_FALSE(MakePartialCopyPath(L"song.mp3", partial)) << "no folder part";
    EXPECT_FALSE(MakePartialCopyPath((L"E:\\" + std::wstring(MAX_PATH - 5, L'd') + L"\\a.mp3").c_str(), partial));
}

TEST(MatchIndex, OnlyTheLettersAToZFoldTheirCase) {
    auto set = [](CTransferFile& record, const wchar_t* path) {
        record.SetTimeStamp(L"20070314093005");
        record.SetFileSize(1);
        record.SetPath(path);
    };
    CTransferFile known, sameName, otherName;
    set(known, L"C:\\\x00C9T\x00E9.mp3");
    set(sameName, L"c:\\\x00C9t\x00E9.MP3");
    set(otherName, L"C:\\\x00E9T\x00E9.mp3");
    CMatchIndex index;
    index.Add(&known);
    EXPECT_EQ(&known, index.Find(sameName));
    EXPECT_EQ(nullptr, index.Find(otherName)) << "other letters keep their case";
}

namespace {
class CJob : public CWorkThread {
public:
    unsigned Run(void*) override {
        while (!IsStopRequested()) ::Sleep(1);
        return 7;
    }
};
} // namespace

TEST(WorkThread, OneThreadAtATimeAndTheStopFlagStaysUntilReset) {
    CJob job;
    ASSERT_EQ(0, job.Start(nullptr));
    EXPECT_EQ(EBUSY, job.Start(nullptr)) << "a second start while running";
    EXPECT_EQ(STILL_ACTIVE, job.GetExitCode());
    EXPECT_EQ(0, job.Stop(CWorkThread::kStopWaitTimeout, 5000));
    EXPECT_EQ(0, job.IsRunning());
    EXPECT_EQ(7u, job.GetExitCode());
    EXPECT_EQ(1, job.IsStopRequested()) << "the request stays until ResetStop";
    job.ResetStop();
    EXPECT_EQ(0, job.IsStopRequested());

    // The receiver frees texts with the process heap: 2,048 zeroed bytes.
    wchar_t* text = AllocTransferText();
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(2048u, ::HeapSize(::GetProcessHeap(), 0, text));
    EXPECT_EQ(std::wstring(kTransferTextChars, L'\0'), std::wstring(text, kTransferTextChars));
    FreeTransferText(text);
}
