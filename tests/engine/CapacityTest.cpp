#include "EngineSupport.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

// The player here is a tmpfs of 48 MB that run-on-player.sh mounts, so every
// free-space figure is the platform's own answer.
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
        if (!state || std::string(state) == "refused") GTEST_SKIP() << "no small player could be mounted";
        ASSERT_LE(FreeBytes(), 256 * MB) << "E: is not the small player";
        ResetPlayer();
    }
};

} // namespace

TEST_F(CapacityTest, AFileAsLargeAsTheUsableSpaceFitsAndTheMegabytesStillNeeded) {
    ASSERT_TRUE(MakeFile(Src(L"fit.mp3"), 3 * MB + 77) && MakeFile(Src(L"six.mp3"), 6 * MB));
    ASSERT_TRUE(MakeDirs(L"E:\\Music"));
    const struct {
        const wchar_t* source;
        ULONGLONG usable, total, transferred;
        WPARAM needed;  // 0: it fits
    } cases[] = {
        {L"fit.mp3", 3 * MB + 77, 3 * MB + 77, 0, 0},  {L"fit.mp3", 3 * MB + 76, 30 * MB, 0, 27},
        {L"six.mp3", 5 * MB, 30 * MB, 10 * MB - 1024, 16}, {L"six.mp3", 5 * MB, 30 * MB, 31 * MB, 1},
    };
    for (const auto& c : cases) {
        CTransferThread worker;
        CRecorder rec;
        worker.SetTotalBytes(c.total);
        worker.SetTransferredBytes(c.transferred);
        ::DeleteFileW(L"E:\\Music\\next.mp3");
        const ULONGLONG free = FreeBytes();
        SetFreeSpaceMargin(0, static_cast<DWORD>(free - c.usable));
        ASSERT_EQ(c.usable, GetUsableFreeBytes(L"E:\\"));
        EXPECT_EQ(c.needed == 0, WriteHere(worker, rec, Src(c.source), L"E:\\Music\\next.mp3")) << c.needed;
        EXPECT_EQ(c.needed ? 0u : 1u, ListFolder(L"E:\\Music").size()) << c.needed;
        EXPECT_EQ(c.needed ? "CAPACITY_ERROR(" + std::to_string(c.needed) + ") " + Narrow(c.source) + "\n" : "",
                  rec.Describe(WM_APP_SET_PROGRESS_POS)) << c.needed;
    }
}

TEST_F(CapacityTest, ShortOnTheThirdOfFiveEndsTheTransferThere) {
    SearchOnly({kSourceRoot});
    for (WORD i = 1; i <= 5; ++i) {
        SYSTEMTIME when = Utc(2007, 1, i, 12, 0, 0);
        ASSERT_TRUE(MakeFile(Src(L"f" + std::to_wstring(i) + L".mp3"), 4 * MB, &when));
    }
    // Ten usable megabytes, from the reserve of the device settings: two files fit, the third does not.
    WriteDeviceSetting(L"DiskSpace", L"SizeType", L"0");
    WriteDeviceSetting(L"DiskSpace", L"Margin", std::to_wstring(FreeBytes() - 10 * MB).c_str());
    CTransferThread worker;
    CRecorder recorder;
    EXPECT_EQ(1u, RunTransfer(worker, recorder));
    // 12 MB remain and about 2 are usable. Nothing follows, and the pending line stays.
    ASSERT_FALSE(recorder.messages.empty());
    const WPARAM needed = recorder.messages.back().wParam;
    EXPECT_TRUE(needed >= 10 && needed <= 12) << needed;
    std::string expected = "SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\n";
    for (int i = 1; i <= 3; ++i) {
        std::wstring file = Src(L"f" + std::to_wstring(i) + L".mp3");
        expected += Current(i, 5, file) + Line(0, IDS_LINE_TRANSFERRING, file) +
                    (i < 3 ? Line(1, IDS_LINE_COMPLETE, file) : "");
    }
    EXPECT_EQ(expected + "CAPACITY_ERROR(" + std::to_string(needed) + ") f3.mp3\n",
              recorder.Describe(WM_APP_SET_PROGRESS_POS));
    EXPECT_EQ(2u, HistoryLines().size());
    EXPECT_TRUE(FileExists(L"E:\\Music\\f1.mp3") && FileExists(L"E:\\Music\\f2.mp3"));
    EXPECT_EQ(2u, ListFolder(L"E:\\Music").size());
}
