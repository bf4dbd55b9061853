#include "EngineSupport.h"
#include "engine/CopyRules.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

using namespace qctest;

// The player here is a tmpfs of a fixed size that run-on-player.sh mounts, so
// every free-space figure is the platform's own answer.
namespace {

const ULONGLONG MB = 1048576;

ULONGLONG FreeBytes() {
    ULARGE_INTEGER avail, total, free;
    return ::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free) ? free.QuadPart : 0;
}

class CapacityTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* state = std::getenv("QC_SMALL_PLAYER");
        if (!state) GTEST_SKIP() << "not started on a small player (run-on-player.sh --tmpfs)";
        if (std::string(state) == "refused") GTEST_SKIP() << "mounting a tmpfs over the player was refused";
        ULARGE_INTEGER avail, total, free;
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free));
        ASSERT_LE(total.QuadPart, 256 * MB) << "E: is not the small player";
        ResetPlayer();
        ResetSources();
    }
    // Leaves exactly `usable` bytes above the reserve.
    void LeaveUsable(ULONGLONG usable) {
        ULONGLONG free = FreeBytes();
        ASSERT_GT(free, usable);
        SetFreeSpaceMargin(0, static_cast<DWORD>(free - usable));
        ASSERT_EQ(usable, GetUsableFreeBytes(L"E:\\"));
    }
};

} // namespace

TEST_F(CapacityTest, AFileAsLargeAsTheUsableSpaceFitsAndTheMegabytesStillNeeded) {
    ASSERT_TRUE(MakeFile(Src(L"fit.mp3"), 3 * MB + 77));
    ASSERT_TRUE(MakeFile(Src(L"six.mp3"), 6 * MB));
    ASSERT_TRUE(MakeDirs(L"E:\\Music"));
    // 30 MB in all (3 MB and 77 bytes when the file fits: needed 0).
    struct Case {
        const char* name;
        const wchar_t* source;
        ULONGLONG usable, transferred;
        WPARAM needed;
    } cases[] = {
        {"exactly as large as the room", L"fit.mp3", 3 * MB + 77, 0, 0},
        {"one byte more than the room", L"fit.mp3", 3 * MB + 76, 0, 27},
        {"20 MB remaining, 5 usable", L"six.mp3", 5 * MB, 10 * MB, 15},
        {"20 MB and 1,024 bytes remaining", L"six.mp3", 5 * MB, 10 * MB - 1024, 16},
        {"20 MB and 1,000 bytes remaining", L"six.mp3", 5 * MB, 10 * MB - 1000, 15},
        {"the file grew: less remains than is usable", L"six.mp3", 5 * MB, 29 * MB, 1},
    };
    for (const Case& c : cases) {
        CTransferThread worker;
        CRecorder rec;
        worker.SetTotalBytes(c.needed ? 30 * MB : 3 * MB + 77);
        worker.SetTransferredBytes(c.transferred);
        ::DeleteFileW(L"E:\\Music\\next.mp3");
        LeaveUsable(c.usable);
        EXPECT_EQ(c.needed == 0, WriteHere(worker, rec, Src(c.source), L"E:\\Music\\next.mp3")) << c.name;
        EXPECT_EQ(c.needed ? 1 : 0, worker.GetAbortFlg()) << c.name;
        EXPECT_EQ(c.needed ? 0u : 1u, ListFolder(L"E:\\Music").size()) << c.name;
        if (c.needed == 0) continue;
        EXPECT_EQ("CAPACITY_ERROR(" + std::to_string(c.needed) + ") " + Narrow(c.source) + "\n", rec.Describe())
            << c.name;
    }
}

TEST_F(CapacityTest, ShortOnTheThirdOfFiveEndsTheTransferThere) {
    SearchOnly(kSourceRoot);
    for (WORD i = 1; i <= 5; ++i) {
        SYSTEMTIME when = Utc(2007, 1, i, 12, 0, 0);
        ASSERT_TRUE(MakeFile(Src(L"f" + std::to_wstring(i) + L".mp3"), 4 * MB, &when));
    }
    // Ten usable megabytes: two files fit, the third does not.
    WriteDeviceSetting(L"DiskSpace", L"SizeType", L"0");
    WriteDeviceSetting(L"DiskSpace", L"Margin", L"1000000000");
    ULONGLONG free = FreeBytes();
    WriteDeviceSetting(L"DiskSpace", L"Margin", std::to_wstring(free - 10 * MB).c_str());
    ASSERT_EQ(free, FreeBytes());

    CTransferThread worker;
    CRecorder recorder;
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    // 12 MB remain; about 2 MB are usable. Nothing follows, and the pending line stays.
    ASSERT_FALSE(recorder.messages.empty());
    const WPARAM needed = recorder.messages.back().wParam;
    EXPECT_GE(needed, 10u);
    EXPECT_LE(needed, 12u);
    std::string expected = "SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\n";
    for (int i = 1; i <= 3; ++i) {
        std::wstring file = Src(L"f" + std::to_wstring(i) + L".mp3");
        expected += "CURRENT " + std::to_string(i) + "/5 song(s) " + Narrow(file) + "\nLOG(0) " + LogLine(file, L"") +
                    (i < 3 ? "\nLOG(1) " + LogLine(file, L"Complete.") + "\n" : "\n");
    }
    EXPECT_EQ(expected + "CAPACITY_ERROR(" + std::to_string(needed) + ") f3.mp3\n",
              recorder.Describe(WM_APP_SET_PROGRESS_POS));
    EXPECT_EQ(2u, HistoryLines().size());
    std::vector<std::wstring> copied = ListFolder(L"E:\\Music");
    std::sort(copied.begin(), copied.end());
    EXPECT_EQ((std::vector<std::wstring>{L"f1.mp3", L"f2.mp3"}), copied);
}
