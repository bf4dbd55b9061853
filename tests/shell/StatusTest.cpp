// The running program end to end on a player of 48 MB (run-small-player.sh):
// real transfers from the simulated computer to the player, watched and driven
// through the status window.

#include "foundation/Handle.h"
#include "shell/Startup.h"
#include "support/Program.h"
#include "resource.h"
#include "version.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

using namespace qctest;

namespace {

constexpr ULONGLONG MB = 1048576;
using StatusTest = ProgramTest;

// A song opened without sharing: the program cannot read it, and its error
// box holds the transfer at a known point for as long as the test needs.
CHandle Lock(const std::wstring& path) {
    return CHandle(::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

bool Shown(HWND status, int id) { return uidrv::IsControlVisible(status, id); }
int Progress(HWND status) { return static_cast<int>(::SendDlgItemMessageW(status, IDC_PROGRESS, PBM_GETPOS, 0, 0)); }

// Two locked songs hold the transfer at their boxes; the sixth song does not
// fit above the player's 20 MB reserve, so its box ends the transfer as
// interrupted and the seventh, which would fit, is never tried.
TEST_F(StatusTest, ATransferShowsWhereItStandsWaitsForEachBoxAndEndsInterruptedWhenThePlayerIsFull) {
    const char* state = std::getenv("QC_SMALL_PLAYER");
    if (!state || std::string(state) == "refused") GTEST_SKIP() << "no small player (run-small-player.sh)";
    Reset(L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=1\r\nSelectedFolders=0\r\n");
    // A path long enough to wrap in the log.
    std::wstring longPath =
        L"The Quavers with a name long enough to wrap\\First Light (Deluxe Anniversary Edition)\\01 Intro.mp3";
    AddSong(Join(pc.myMusic, L"Single.WMA"), 3 << 20, 1);
    std::wstring locked1 = AddSong(Join(pc.myMusic, L"2.mp3"), 1000, 2);
    std::wstring c = AddSong(Join(pc.desktop, L"New songs\\Demo.mp3"), (3 << 20) + 7, 3);
    std::wstring a = AddSong(Join(pc.myMusic, longPath), 70000, 4);
    std::wstring locked2 = AddSong(Join(pc.myMusic, L"5.mp3"), 1000, 5);
    std::wstring tooBig = AddSong(Join(pc.myMusic, L"Late\\big.mp3"), 24 * MB, 6);
    AddSong(Join(pc.myMusic, L"d.mp3"), 200000, 7);
    CHandle lock1 = Lock(locked1), lock2 = Lock(locked2);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND status = p.Status();
    struct Hold {
        const std::wstring& song;
        int position, lowest, highest;  // of the progress bar, in percent of all bytes
    } holds[] = {{locked1, 2, 8, 12}, {locked2, 5, 18, 22}, {tooBig, 6, 18, 22}};
    for (const Hold& h : holds) {
        SCOPED_TRACE(Narrow(h.song));
        HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
        ASSERT_NE(nullptr, box) << Narrow(p.LogText());
        const std::wstring name = h.song.substr(h.song.rfind(L'\\') + 1);
        EXPECT_NE(std::wstring::npos, uidrv::ReadMessageBox(box).text.find(L"\"" + name + L"\""));
        EXPECT_TRUE(h.lowest <= Progress(status) && Progress(status) <= h.highest) << Progress(status);
        EXPECT_EQ(std::to_wstring(h.position) + L"/7 song(s) " + h.song + L"\n",
                  uidrv::GetControlText(status, IDC_CURRENT_FILE));
        EXPECT_TRUE(Shown(status, IDC_PROGRESS) && Shown(status, IDC_CURRENT_FILE) && !Shown(status, IDC_SEARCHING));
        EXPECT_EQ(L"&Stop transfer", uidrv::GetControlText(status, IDC_TRANSFER));
        if (h.song != tooBig) {
            EXPECT_NE(std::wstring::npos, p.LogText().find(L"Transferring " + h.song + L" ... Failed."));
            // Gone before the next wait, which would otherwise find this box again.
            ASSERT_TRUE(uidrv::ClickButton(box, IDOK) && WaitUntil([&] { return !::IsWindow(box); }));
            continue;
        }
        // The box names the megabytes still needed beyond what the player has above its reserve.
        ULARGE_INTEGER avail, total, free;
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free) && total.QuadPart <= 64 * MB);
        ULONGLONG usable = free.QuadPart > 20 * MB ? free.QuadPart - 20 * MB : 0, remaining = 24 * MB + 200000;
        std::wstring needed = std::to_wstring(remaining / MB - usable / MB + ((remaining & 0xFFC00) ? 1 : 0));
        EXPECT_NE(std::wstring::npos, uidrv::ReadMessageBox(box).text.find(L"\n" + needed + L" MB ")) << needed;
        ::Sleep(300);
        EXPECT_EQ(std::wstring::npos, p.LogText().find(L"Transfer interrupted.")) << "the transfer waits for the box";
        ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    }
    ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
    std::wstring log = p.LogText();
    EXPECT_EQ(6u, CountOf(log, L"Transferring ")) << "each pending line was replaced whole: " << Narrow(log);
    EXPECT_EQ(log.size() - std::wstring(L"Transfer interrupted.\r\n").size(), log.find(L"Transfer interrupted."))
        << Narrow(log);
    EXPECT_TRUE(SameFile(a, L"E:\\Music\\" + longPath) && SameFile(c, L"E:\\Music\\New songs\\Demo.mp3"));
    EXPECT_TRUE(PlayerFiles().size() == 3u && CountOf(History(), L"\r\n") == 3u) << Narrow(History());
    EXPECT_TRUE(Progress(status) == 0 && !Shown(status, IDC_CURRENT_FILE));
    EXPECT_TRUE(uidrv::IsControlEnabled(status, IDC_SETTINGS) && uidrv::IsControlEnabled(status, IDC_DISP_FOLDER));
    // OK opened the player's root in the shell: a window of another process whose caption names the drive.
    HWND shell = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        for (HWND w : uidrv::FindWindows({})) {
            std::wstring caption = uidrv::GetText(w);
            ::CharLowerBuffW(&caption[0], static_cast<DWORD>(caption.size()));
            bool drive = caption.find(L"e:\\") != std::wstring::npos || caption.find(L"(e:)") != std::wstring::npos;
            if (drive && caption.find(L"quavercart") == std::wstring::npos) shell = w;
        }
        return shell != nullptr;
    }));
    if (shell) ::PostMessageW(shell, WM_CLOSE, 0, 0);
    EXPECT_TRUE(p.ExitFromTray());
}

// 0xRRGGBB, rows from the top; empty unless the bitmap is 60 x 60.
std::vector<DWORD> Pixels(HBITMAP bitmap) {
    CGdiObject owned(bitmap);
    BITMAP size = {};
    if (!::GetObjectW(bitmap, sizeof size, &size) || size.bmWidth != 60 || size.bmHeight != 60) return {};
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), 60, -60, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<DWORD> pixels(3600);
    ::GetDIBits(CWindowDc(nullptr).Get(), bitmap, 0, 60, pixels.data(), &info, DIB_RGB_COLORS);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

// What the screen shows of the animation's place in the status window.
std::vector<DWORD> ShownFrame(HWND status) {
    POINT at = {165, 35};
    ::ClientToScreen(status, &at);
    CWindowDc screen(nullptr);
    CMemDc memory(::CreateCompatibleDC(screen.Get()));
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen.Get(), 60, 60);
    {
        CSelection selected(memory.Get(), bitmap);
        ::BitBlt(memory.Get(), 0, 0, 60, 60, screen.Get(), at.x, at.y, SRCCOPY);
    }
    return Pixels(bitmap);
}

size_t TilePixels(const std::vector<DWORD>& pixels) { return std::count(pixels.begin(), pixels.end(), 0x1f5fa8u); }

// Many folders keep the search busy long enough to watch it and to stop it.
// Then a locked song's box holds a transfer: closing, the tray menu, a stop,
// a second start, the version dialog and the player's removal meet it there.
TEST_F(StatusTest, TheSearchAndACopyStopAndTheWindowHidesOnlyWhenIdleComesBackAndEndsWithThePlayer) {
    HMODULE module = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    auto load = [&](UINT id) {
        return Pixels(static_cast<HBITMAP>(
            ::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    };
    std::vector<DWORD> mask = load(IDB_SEARCH_MASK);
    std::vector<std::vector<DWORD>> frames = {load(IDB_SEARCH_FIRST)};  // in the order shown
    for (UINT id = IDB_SEARCH_BASE + 1; id <= IDB_SEARCH_BASE + 15; ++id) frames.push_back(load(id));
    ASSERT_EQ(3600u, mask.size()) << "the mask is missing";
    ASSERT_GT(TilePixels(frames[0]), 100u) << "the tile's colour, looked for after the search";
    for (size_t k = 0; k < 16; ++k) ASSERT_EQ(3600u, frames[k].size()) << "frame " << k << " is missing";
    for (int i = 0; i < 12000; ++i) {
        std::wstring folder = L"Archive\\" + std::to_wstring(i / 300) + L"\\" + std::to_wstring(i % 300);
        ASSERT_TRUE(MakeDirs(Join(pc.myMusic, folder)));
    }
    std::wstring locked = AddSong(Join(pc.myMusic, L"1.mp3"), 1000, 1);
    AddSong(Join(pc.myMusic, L"2.mp3"), 1000, 2);
    CHandle lock = Lock(locked);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND status = p.Status();
    ASSERT_TRUE(WaitUntil([&] { return Shown(status, IDC_SEARCHING); }));
    // Each frame whole over the window's background, and one after the other.
    DWORD face = ::GetSysColor(COLOR_BTNFACE);
    face = (GetRValue(face) << 16) | (GetGValue(face) << 8) | GetBValue(face);
    std::vector<bool> seen(16);
    WaitUntil([&] {
        std::vector<DWORD> shown = ShownFrame(status);
        for (size_t k = 0, i = 0; k < 16; ++k, i = 0) {
            while (i < 3600 && shown[i] == (mask[i] == 0 ? frames[k][i] : face)) ++i;
            seen[k] = seen[k] || i == 3600;
        }
        return std::count(seen.begin(), seen.end(), true) >= 6;
    });
    EXPECT_GE(std::count(seen.begin(), seen.end(), true), 6) << "frames shown whole, one after the other";
    ASSERT_TRUE(Shown(status, IDC_SEARCHING)) << "the search must still run: make it slower";
    ASSERT_TRUE(uidrv::ClickButton(status, IDC_TRANSFER));
    DWORD stopped = ::GetTickCount();
    ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
    stopped = ::GetTickCount() - stopped;
    EXPECT_EQ(L"Transfer canceled by user.\r\n", p.LogText());
    EXPECT_FALSE(Shown(status, IDC_SEARCHING));
    EXPECT_TRUE(WaitUntil([&] { return TilePixels(ShownFrame(status)) == 0; })) << "the last frame is gone";

    // Held at the locked song's box: closing does nothing, Exit is greyed, and a stop waits for the answer.
    ASSERT_TRUE(uidrv::ClickButton(status, IDC_TRANSFER));
    DWORD searched = ::GetTickCount();
    HWND box = uidrv::WaitForMessageBox(p.Process().Id(), 3 * kUiTimeout, L"Error");
    ASSERT_NE(nullptr, box) << Narrow(p.LogText());
    searched = ::GetTickCount() - searched;
    EXPECT_LT(2 * stopped, searched) << "the stop ended the search early: " << stopped << " ms, a search " << searched;
    EXPECT_FALSE(uidrv::IsControlEnabled(status, IDC_SETTINGS));
    uidrv::Post(status, WM_CLOSE, 0, 0);
    // The box taking the foreground late would close the menu as it opens.
    WaitUntil([&] { return ::GetForegroundWindow() == box; }, 5000);
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(status, WM_TRAYNOTIFY, -1, kUiTimeout)) << "the menu opens during a transfer";
    EXPECT_FALSE(p.Process().WaitExit(500)) << "Exit is greyed during a transfer";
    EXPECT_TRUE(::IsWindowVisible(status)) << "closing does nothing during a transfer";
    ASSERT_TRUE(uidrv::ClickButton(status, IDC_TRANSFER));
    ::Sleep(300);
    EXPECT_EQ(1u, CountOf(p.LogText(), L"Transfer canceled")) << "nothing happens until the box is answered";
    ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    ASSERT_TRUE(p.WaitForLog(L"Failed. (Source file could not be read.)\r\nTransfer canceled by user.\r\n"))
        << Narrow(p.LogText());
    ASSERT_TRUE(p.WaitForIdle());
    EXPECT_TRUE(PlayerFiles().empty() && History().empty()) << "nothing after either stop reached the player";

    // Hidden, the tray's Main Screen brings it back; minimised, a second start does.
    uidrv::Post(status, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(status); }));
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(status, WM_TRAYNOTIFY, 1, kUiTimeout));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(status); }));
    uidrv::Post(status, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsIconic(status); }));
    uidrv::Process second;
    ASSERT_TRUE(second.Start(pc.program));
    EXPECT_EQ(L"Quavercart cannot be launched as it is already running.", AnswerBox(second.Id(), L"Error", IDOK));
    EXPECT_TRUE(second.WaitExit(kUiTimeout) && second.ExitCode() == 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(status) && !::IsIconic(status); }));

    // The version dialog shows the program's version block; asked for again, it stays one; closed, it comes again.
    uidrv::WindowQuery version = {L"#32770", L"Version Information", p.Process().Id(), true};
    uidrv::Post(status, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND dlg = uidrv::WaitForWindow(version, kUiTimeout);
    EXPECT_EQ(L"Quavercart Version\t" QC_VERSION_TEXT, uidrv::GetControlText(dlg, IDC_VERSION_TEXT));
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(status, WM_TRAYNOTIFY, 2, kUiTimeout)) << "Version";
    ::Sleep(200);
    EXPECT_EQ(std::vector<HWND>{dlg}, uidrv::FindWindows(version));
    ASSERT_TRUE(uidrv::ClickButton(dlg, IDOK));
    ASSERT_TRUE(uidrv::WaitForNoWindow(version, kUiTimeout));

    // With the dialog and a box open, the program ends when its own file goes with the player.
    uidrv::Post(status, WM_SYSCOMMAND, IDM_ABOUT, 0);
    ASSERT_NE(nullptr, uidrv::WaitForWindow(version, kUiTimeout)) << "made again after closing";
    ASSERT_TRUE(uidrv::ClickButton(status, IDC_TRANSFER));
    ASSERT_NE(nullptr, uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error"));
    // DBT_DEVNODES_CHANGED: what the system sends when a drive comes or goes.
    ASSERT_TRUE(uidrv::Post(status, WM_DEVICECHANGE, 0x0007, 0));
    EXPECT_FALSE(p.Process().WaitExit(500)) << "the player is still there";
    ASSERT_TRUE(::MoveFileW(pc.program.c_str(), L"E:\\gone.exe")) << ::GetLastError();
    ASSERT_TRUE(uidrv::Post(status, WM_DEVICECHANGE, 0x0007, 0));
    ASSERT_TRUE(p.Process().WaitExit(kUiTimeout));
    EXPECT_EQ(0u, p.Process().ExitCode());
}

} // namespace
