// A capacity shortage on the running program: the player is a tmpfs of a
// fixed size (run-small-player.sh), so the free space the program sees is the
// platform's own answer. The box names the file and the megabytes still
// needed, the transfer waits for it, and after it the transfer ends as
// interrupted with only the files before the shortage on the player.

#include "foundation/Handle.h"
#include "support/Program.h"
#include "resource.h"

#include <gtest/gtest.h>
#include <cstdlib>
#include <cwctype>

using namespace qctest;

namespace {

constexpr ULONGLONG MB = 1048576;
using CapacityStatusTest = ProgramTest;

// A visible top-level window of another process whose caption names the
// player's drive: the shell showing E:\ (under Wine " (E:)").
BOOL CALLBACK FindPlayerWindow(HWND w, LPARAM found) {
    std::wstring caption = uidrv::GetText(w);
    for (wchar_t& ch : caption) ch = static_cast<wchar_t>(std::towlower(ch));
    if (::IsWindowVisible(w) && (caption.find(L"e:\\") != std::wstring::npos || caption.find(L"(e:)") != std::wstring::npos) &&
        caption.find(L"quavercart") == std::wstring::npos) {
        *reinterpret_cast<HWND*>(found) = w;
    }
    return TRUE;
}

HWND PlayerWindow() {
    HWND found = nullptr;
    ::EnumWindows(FindPlayerWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Two songs fit above the 20 MB reserve of a 48 MB player, the third does
// not; the fourth would fit but comes after the shortage.
TEST_F(CapacityStatusTest, TheCapacityBoxNamesTheFileAndTheMegabytesTheTransferWaitsAndEndsInterrupted) {
    const char* state = std::getenv("QC_SMALL_PLAYER");
    if (!state || std::string(state) == "refused") GTEST_SKIP() << "no small player (run-small-player.sh)";
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free) && total.QuadPart <= 64 * MB) << "E: is not the small player";
    for (int button : {IDOK, IDCANCEL}) {
        SCOPED_TRACE(button == IDOK ? "OK opens the player's root in the shell" : "Cancel opens nothing");
        Reset();
        std::vector<std::wstring> fitting = {AddSong(Join(pc.myMusic, L"Early\\a.mp3"), 9 * MB + 5000, 1),
                                             AddSong(Join(pc.myMusic, L"b.mp3"), 9 * MB + 3000, 2)};
        std::wstring tooBig = AddSong(Join(pc.myMusic, L"Late\\c.mp3"), 12 * MB + 300000, 3);
        std::wstring after = AddSong(Join(pc.myMusic, L"d.mp3"), 200000, 4);
        RunningProgram p;
        ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
        HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
        ASSERT_NE(nullptr, box) << Narrow(p.LogText());
        EXPECT_EQ(p.Status(), ::GetWindow(box, GW_OWNER)) << "the box belongs to the status window";
        EXPECT_TRUE(::GetDlgItem(box, IDOK) && ::GetDlgItem(box, IDCANCEL));

        // The transfer waits here, so the free space is what the program saw.
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free));
        ULONGLONG usable = free.QuadPart > 20 * MB ? free.QuadPart - 20 * MB : 0;  // the player's 20 MB reserve
        ASSERT_LT(usable, 12 * MB + 300000) << "the third song must not fit";
        ULONGLONG remaining = 12 * MB + 300000 + 200000;
        ULONGLONG needed = remaining / MB - usable / MB + ((remaining & 0xFFC00) ? 1 : 0);
        EXPECT_EQ(L"The file \"c.mp3\" could not be transferred due to insufficient memory space.\n" + std::to_wstring(needed) +
                      L" MB of memory is required to transfer the remaining files.\n\n"
                      L"Delete any unnecessary files to free up the required space.\n",
                  uidrv::ReadMessageBox(box).text);
        ::Sleep(300);
        EXPECT_EQ(std::wstring::npos, p.LogText().find(L"Transfer interrupted.")) << "the transfer waits for the box";
        EXPECT_EQ(L"&Stop transfer", uidrv::GetControlText(p.Status(), IDC_TRANSFER));

        ASSERT_TRUE(uidrv::ClickButton(box, button));
        ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
        std::wstring log = p.LogText(), history = History();
        EXPECT_EQ(log.size() - std::wstring(L"Transfer interrupted.\r\n").size(), log.find(L"Transfer interrupted.")) << Narrow(log);
        EXPECT_TRUE(uidrv::IsControlEnabled(p.Status(), IDC_SETTINGS));
        // The songs before the shortage are whole and recorded; nothing after it.
        for (const std::wstring& s : fitting) {
            EXPECT_TRUE(SameFile(s, L"E:\\Music\\" + s.substr(pc.myMusic.size() + 1))) << Narrow(s);
            EXPECT_NE(std::wstring::npos, log.find(L"Transferring " + s + L" ... Complete.")) << Narrow(log);
            EXPECT_NE(std::wstring::npos, history.find(s)) << Narrow(history);
        }
        EXPECT_EQ(2u, PlayerFiles().size());
        EXPECT_TRUE(history.find(tooBig) == std::wstring::npos && history.find(after) == std::wstring::npos) << Narrow(history);
        EXPECT_EQ(std::wstring::npos, log.find(after)) << Narrow(log);

        HWND shell = nullptr;
        for (DWORD t = ::GetTickCount(); !shell && ::GetTickCount() - t < (button == IDOK ? kUiTimeout : 3000); ::Sleep(50)) shell = PlayerWindow();
        EXPECT_EQ(button == IDOK, shell != nullptr) << Narrow(uidrv::GetText(shell));
        if (shell) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(shell, &pid);
            ::PostMessageW(shell, WM_CLOSE, 0, 0);
            CHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid));
            if (process && ::WaitForSingleObject(process.Get(), 5000) != WAIT_OBJECT_0) ::TerminateProcess(process.Get(), 1);
        }
        EXPECT_TRUE(p.ExitFromTray());
    }
}

} // namespace
