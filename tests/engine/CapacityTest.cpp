#include "EngineSupport.h"

#include <gtest/gtest.h>
#include <cstdlib>

using namespace qctest;

// The player here is a tmpfs of 48 MB that run-on-player.sh mounts, so every
// free-space figure is the platform's own answer.
TEST(Capacity, AFileAsLargeAsTheUsableSpaceFitsAndTheMegabytesStillNeeded) {
    const char* state = std::getenv("QC_SMALL_PLAYER");
    if (!state || std::string(state) == "refused") GTEST_SKIP() << "no small player could be mounted";
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free) && total.QuadPart <= (256 << 20));
    ResetPlayer();
    const ULONGLONG MB = 1048576, fit = 3 * MB + 77;
    ASSERT_TRUE(MakeFile(Src(L"fit.mp3"), fit) && MakeFile(Src(L"six.mp3"), 6 * MB) && MakeDirs(L"E:\\Music"));
    // Usable bytes, bytes of the transfer and bytes copied so far, and the megabytes the box asks for (0: it fits).
    const struct { const wchar_t* source; ULONGLONG usable, total, transferred; WPARAM needed; } cases[] = {
        {L"fit.mp3", fit, fit, 0, 0}, {L"fit.mp3", fit - 1, 30 * MB, 0, 27},
        {L"six.mp3", 5 * MB, 30 * MB, 10 * MB - 1024, 16}, {L"six.mp3", 5 * MB, 30 * MB, 31 * MB, 1}};
    for (const auto& c : cases) {
        CTransferThread worker;
        CRecorder rec;
        worker.SetTotalBytes(c.total);
        worker.SetTransferredBytes(c.transferred);
        ::DeleteFileW(L"E:\\Music\\next.mp3");
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free));
        SetFreeSpaceMargin(0, static_cast<DWORD>(free.QuadPart - c.usable));
        ASSERT_EQ(c.usable, GetUsableFreeBytes(L"E:\\"));
        EXPECT_EQ(c.needed == 0, WriteHere(worker, rec, Src(c.source), L"E:\\Music\\next.mp3")) << c.needed;
        EXPECT_EQ(c.needed ? 0u : 1u, ListFolder(L"E:\\Music").size()) << c.needed;
        EXPECT_EQ(c.needed ? "CAPACITY_ERROR(" + std::to_string(c.needed) + ") " + Narrow(c.source) + "\n" : "",
                  rec.Describe(WM_APP_SET_PROGRESS_POS)) << c.needed;
    }
}
