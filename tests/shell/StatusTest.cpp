// The running program end to end: a real transfer from the simulated computer
// to the player, watched and driven through the status window.

#include "support/Computer.h"
#include "support/Program.h"
#include "resource.h"
#include "version.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <algorithm>

using namespace qctest;

namespace {

const wchar_t kMyMusicAndDesktop[] = L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=1\r\nSelectedFolders=0\r\n";

size_t CountLines(const std::wstring& text, const std::wstring& piece) {
    size_t n = 0;
    for (size_t pos = text.find(piece); pos != std::wstring::npos; pos = text.find(piece, pos + 1)) ++n;
    return n;
}

class StatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        pc = ResetComputer();
        computer = PrepareKnownPlayer(pc, kMyMusicAndDesktop);
    }

    // A song with its own content and last-write day, so the order is known.
    std::wstring AddSong(const std::wstring& folder, const std::wstring& relative, size_t size, WORD day) {
        std::wstring path = Join(folder, relative);
        EXPECT_TRUE(WriteBytes(path, RandomBytes(size, day * 7919u + static_cast<unsigned>(size))));
        EXPECT_TRUE(SetLastWrite(path, 2024, 3, day, 12, 0));
        return path;
    }

    void ExpectSameFile(const std::wstring& source, const std::wstring& copy) {
        std::string a, b;
        ASSERT_TRUE(ReadBytes(source, a)) << Narrow(source);
        ASSERT_TRUE(ReadBytes(copy, b)) << Narrow(copy) << " is not on the player";
        EXPECT_TRUE(a == b) << Narrow(copy) << " differs from " << Narrow(source);
    }

    std::wstring History() {
        std::string bytes;
        ReadBytes(Join(computer, L"TransferredFiles.dat"), bytes);
        return Utf16LeToWide(bytes);
    }

    // Every file below the player's Music folder.
    std::vector<std::wstring> PlayerMusic(const std::wstring& folder = L"E:\\Music") {
        std::vector<std::wstring> files;
        WIN32_FIND_DATAW fd;
        HANDLE find = ::FindFirstFileW(Join(folder, L"*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) return files;
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                for (auto& f : PlayerMusic(Join(folder, name))) files.push_back(f);
            } else {
                files.push_back(Join(folder, name));
            }
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
        return files;
    }

    // The program's own log, without its time stamps.
    std::vector<std::wstring> ProgramLog() {
        std::string bytes;
        ReadBytes(Join(pc.temp, L"Quavercart.log"), bytes);
        std::wstring text = Utf16LeToWide(bytes);
        std::vector<std::wstring> lines;
        for (size_t pos = 0; pos < text.size();) {
            size_t end = text.find(L"\r\n", pos);
            if (end == std::wstring::npos) break;
            lines.push_back(end - pos >= 24 ? text.substr(pos + 24, end - pos - 24) : L"");
            pos = end + 2;
        }
        return lines;
    }

    // `expected` appears in this order among the log's lines.
    void ExpectLogSequence(const std::vector<std::wstring>& expected) {
        std::vector<std::wstring> lines = ProgramLog();
        size_t at = 0;
        for (const std::wstring& want : expected) {
            while (at < lines.size() && lines[at] != want) ++at;
            ASSERT_LT(at, lines.size()) << "missing or out of order: " << Narrow(want);
            ++at;
        }
    }

    void Click(RunningProgram& p, int id) { ASSERT_TRUE(uidrv::ClickButton(p.Status(), id)); }

    Computer pc;
    std::wstring computer;
};

TEST_F(StatusTest, NotAFirstStartTransfersAtOnceAndTheNextStartCopiesNothing) {
    // A path long enough to wrap in the log.
    std::wstring longFolder = L"The Quavers with a name long enough to wrap\\First Light (Deluxe Anniversary Edition Remastered)";
    std::wstring a = AddSong(pc.myMusic, longFolder + L"\\01 Intro.mp3", 70000, 3);
    std::wstring b = AddSong(pc.myMusic, L"Single.WMA", 65536, 1);
    std::wstring c = AddSong(pc.desktop, L"New songs\\Demo.mp3", 123457, 2);
    AddSong(pc.myMusic, L"cover.jpg", 500, 4);

    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 3 song(s)")) << Narrow(p.LogText());
    std::wstring log = p.LogText();
    size_t posB = log.find(L"Transferring " + b + L" ... Complete.\r\n");
    size_t posC = log.find(L"Transferring " + c + L" ... Complete.\r\n");
    size_t posA = log.find(L"Transferring " + a + L" ... Complete.\r\n");
    ASSERT_NE(std::wstring::npos, posA) << Narrow(log);
    ASSERT_NE(std::wstring::npos, posB) << Narrow(log);
    ASSERT_NE(std::wstring::npos, posC) << Narrow(log);
    EXPECT_TRUE(posB < posC && posC < posA) << "oldest first: " << Narrow(log);
    EXPECT_EQ(0u, CountLines(log, L"... \r\n")) << "every pending line was replaced";
    EXPECT_EQ(log.size() - std::wstring(L"Transfer completed. 3 song(s)\r\n").size(), log.rfind(L"Transfer completed."));

    EXPECT_EQ(3u, CountLines(log, L"Transferring ")) << "each pending line was replaced whole: " << Narrow(log);
    ExpectSameFile(a, L"E:\\Music\\" + longFolder + L"\\01 Intro.mp3");
    ExpectSameFile(b, L"E:\\Music\\Single.WMA");
    ExpectSameFile(c, L"E:\\Music\\New songs\\Demo.mp3");
    EXPECT_EQ(3u, PlayerMusic().size());
    EXPECT_EQ(3u, CountLines(History(), L"\r\n")) << Narrow(History());
    ASSERT_TRUE(p.WaitForIdle());
    EXPECT_TRUE(uidrv::IsControlEnabled(p.Status(), IDC_SETTINGS));
    EXPECT_TRUE(uidrv::IsControlEnabled(p.Status(), IDC_DISP_FOLDER));
    EXPECT_TRUE(p.ExitFromTray());
    ExpectLogSequence({L"OnBtnTransfer() : SetMsgBoxFlg ON", L"OnBtnTransfer() : TransferFlg ON",
                       L"SetTimer() : TimerFlg ON", L"EndTimer() : TimerFlg OFF",
                       L"TransAbortProcess() : TransferFlg OFF", L"TransEndProcess() : SetMsgBoxFlg OFF"});

    RunningProgram again;
    ASSERT_TRUE(again.Start(pc.program)) << again.Failure();
    ASSERT_TRUE(again.WaitForLog(L"Transfer completed. 0 song(s)")) << Narrow(again.LogText());
    EXPECT_EQ(std::wstring::npos, again.LogText().find(L"Transferring"));
    EXPECT_EQ(3u, PlayerMusic().size());
    ASSERT_TRUE(again.WaitForIdle());
    EXPECT_TRUE(again.ExitFromTray());
}

// A locked first song holds the transfer at its box, so what happens "during a
// transfer" does not race a copy that a fast disk finishes in a blink.
TEST_F(StatusTest, StopDuringATransferCancelsAndLeavesNoPartialFile) {
    std::wstring locked = AddSong(pc.myMusic, L"Big\\song0.mp3", 1000, 1);
    for (int i = 1; i < 4; ++i) AddSong(pc.myMusic, L"Big\\song" + std::to_wstring(i) + L".mp3", 24 * 1048576, static_cast<WORD>(i + 1));
    HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
    ASSERT_NE(nullptr, box) << Narrow(p.LogText());
    EXPECT_EQ(L"&Stop transfer", uidrv::GetControlText(p.Status(), IDC_TRANSFER));
    EXPECT_FALSE(uidrv::IsControlEnabled(p.Status(), IDC_SETTINGS));
    Click(p, IDC_TRANSFER);
    ::Sleep(300);
    EXPECT_EQ(std::wstring::npos, p.LogText().find(L"Transfer canceled")) << "nothing happens until the box is answered";
    ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    ASSERT_TRUE(p.WaitForLog(L"Transfer canceled by user.")) << Narrow(p.LogText());
    ASSERT_TRUE(p.WaitForIdle());
    ::CloseHandle(lock);
    EXPECT_EQ(L"&Start transfer", uidrv::GetControlText(p.Status(), IDC_TRANSFER));
    std::wstring log = p.LogText();
    EXPECT_EQ(std::wstring::npos, log.find(L"Transfer completed.")) << Narrow(log);
    EXPECT_EQ(0u, CountLines(log, L"... Complete.")) << Narrow(log);
    EXPECT_TRUE(PlayerMusic().empty()) << "nothing after the stop reached the player";
    EXPECT_EQ(0u, CountLines(History(), L"\r\n"));
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(StatusTest, AFailingFileShowsItsBoxOverTheWindowAndTheTransferGoesOnAfterOk) {
    std::wstring first = AddSong(pc.myMusic, L"1.mp3", 1000, 1);
    std::wstring locked = AddSong(pc.myMusic, L"2.mp3", 2000, 2);
    std::wstring third = AddSong(pc.myMusic, L"3.mp3", 3000, 3);
    HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);

    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
    ASSERT_NE(nullptr, box) << Narrow(p.LogText());
    uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
    EXPECT_EQ(p.Status(), ::GetWindow(box, GW_OWNER)) << "the box belongs to the status window";
    EXPECT_NE(std::wstring::npos, info.text.find(L"\"2.mp3\"")) << Narrow(info.text);
    ::Sleep(300);
    EXPECT_FALSE(FileExists(L"E:\\Music\\3.mp3")) << "the transfer waits while the box is open";
    EXPECT_NE(std::wstring::npos, p.LogText().find(L"Transferring " + locked + L" ... Failed."));

    ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    ASSERT_TRUE(p.WaitForLog(L"Transfer completed. 2 song(s)")) << Narrow(p.LogText());
    ExpectLogSequence({L"DispMessageBox() : SetMsgBoxFlg ON", L"DispMessageBox() : SetMsgBoxFlg OFF"});
    ::CloseHandle(lock);
    ExpectSameFile(first, L"E:\\Music\\1.mp3");
    ExpectSameFile(third, L"E:\\Music\\3.mp3");
    EXPECT_FALSE(FileExists(L"E:\\Music\\2.mp3"));
    ASSERT_TRUE(p.WaitForIdle());
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(StatusTest, CloseHidesOnlyWhenIdleTheTrayBringsItBackAndExitWaitsForTheTransfer) {
    std::wstring locked = AddSong(pc.myMusic, L"1.mp3", 1000, 1);
    AddSong(pc.myMusic, L"2.mp3", 2000, 2);
    HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
    ASSERT_NE(nullptr, box) << Narrow(p.LogText());

    uidrv::Post(p.Status(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(p.Status(), 0x450, -1, kUiTimeout)) << "the menu opens during a transfer";
    EXPECT_FALSE(p.Process().WaitExit(500)) << "Exit is greyed during a transfer";
    EXPECT_TRUE(::IsWindowVisible(p.Status())) << "closing does nothing during a transfer";

    ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
    ::CloseHandle(lock);
    uidrv::Post(p.Status(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(uidrv::WaitForNoWindow({L"#32770", L"Quavercart(E:)", p.Process().Id(), true}, kUiTimeout));
    EXPECT_FALSE(p.Process().WaitExit(200)) << "a hidden window keeps the program running";

    uidrv::Post(p.Status(), 0x450, 0, WM_LBUTTONDBLCLK);
    EXPECT_NE(nullptr, uidrv::WaitForWindow({L"#32770", L"Quavercart(E:)", p.Process().Id(), true}, kUiTimeout));
    EXPECT_TRUE(p.ExitFromTray());
}

TEST_F(StatusTest, RemovingThePlayerEndsTheProgramEvenWithABoxOpen) {
    std::wstring locked = AddSong(pc.myMusic, L"1.mp3", 1000, 1);
    HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_NE(nullptr, uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error"));

    // DBT_DEVNODES_CHANGED: what the system sends when a drive comes or goes.
    ASSERT_TRUE(uidrv::Post(p.Status(), WM_DEVICECHANGE, 0x0007, 0));
    EXPECT_FALSE(p.Process().WaitExit(500)) << "the player is still there";
    // The program's own file disappears with the player.
    ASSERT_TRUE(::MoveFileW(pc.program.c_str(), L"E:\\gone.exe")) << ::GetLastError();
    ASSERT_TRUE(uidrv::Post(p.Status(), WM_DEVICECHANGE, 0x0007, 0));
    ASSERT_TRUE(p.Process().WaitExit(kUiTimeout));
    EXPECT_EQ(0u, p.Process().ExitCode());
    ::CloseHandle(lock);
}

TEST_F(StatusTest, ASecondStartBringsTheFirstWindowForwardRestored) {
    RunningProgram first;
    ASSERT_TRUE(first.Start(pc.program)) << first.Failure();
    ASSERT_TRUE(first.WaitForIdle());
    struct Case {
        const char* how;
        WPARAM command;
    } cases[] = {{"hidden", SC_CLOSE}, {"minimised", SC_MINIMIZE}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        uidrv::Post(first.Status(), WM_SYSCOMMAND, c.command, 0);
        DWORD start = ::GetTickCount();
        while ((::IsWindowVisible(first.Status()) && !::IsIconic(first.Status())) && ::GetTickCount() - start < kUiTimeout) ::Sleep(20);

        uidrv::Process second;
        ASSERT_TRUE(second.Start(pc.program));
        HWND box = uidrv::WaitForMessageBox(second.Id(), kUiTimeout, L"Error");
        ASSERT_NE(nullptr, box);
        EXPECT_EQ(L"Quavercart cannot be launched as it is already running.", uidrv::ReadMessageBox(box).text);
        EXPECT_TRUE(uidrv::FindWindows({L"#32770", L"Quavercart(E:)", second.Id(), false}).empty());
        ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
        ASSERT_TRUE(second.WaitExit(kUiTimeout));
        EXPECT_EQ(0u, second.ExitCode());

        start = ::GetTickCount();
        while ((!::IsWindowVisible(first.Status()) || ::IsIconic(first.Status())) && ::GetTickCount() - start < kUiTimeout) ::Sleep(20);
        EXPECT_TRUE(::IsWindowVisible(first.Status()));
        EXPECT_FALSE(::IsIconic(first.Status()));
    }
    EXPECT_TRUE(first.ExitFromTray());
}

TEST_F(StatusTest, MainScreenFromTheTrayMenu) {
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::Post(p.Status(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(uidrv::WaitForNoWindow({L"#32770", L"Quavercart(E:)", p.Process().Id(), true}, kUiTimeout));
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(p.Status(), 0x450, 1, kUiTimeout)) << "Main Screen";
    EXPECT_NE(nullptr, uidrv::WaitForWindow({L"#32770", L"Quavercart(E:)", p.Process().Id(), true}, kUiTimeout));
    EXPECT_TRUE(p.ExitFromTray());
}

bool IsAbove(HWND upper, HWND lower) {
    for (HWND w = ::GetWindow(lower, GW_HWNDPREV); w; w = ::GetWindow(w, GW_HWNDPREV)) {
        if (w == upper) return true;
    }
    return false;
}

TEST_F(StatusTest, VersionDialogOneWindowRaisedWhenOpenAndCentredAgainAfterClosing) {
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    ASSERT_TRUE(p.WaitForIdle());
    uidrv::WindowQuery version = {L"#32770", L"Version Information", p.Process().Id(), true};
    ASSERT_TRUE(uidrv::Post(p.Status(), WM_SYSCOMMAND, IDM_ABOUT, 0));
    HWND dlg = uidrv::WaitForWindow(version, kUiTimeout);
    ASSERT_NE(nullptr, dlg);
    EXPECT_EQ(L"Quavercart Version\t" QC_VERSION_TEXT, uidrv::GetControlText(dlg, IDC_VERSION_TEXT));
    EXPECT_EQ(L"" QC_COPYRIGHT_TEXT, uidrv::GetControlText(dlg, IDC_LEGAL_TEXT));
    ::SendMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(::IsWindowVisible(dlg)) << "Esc does nothing";

    // Another program's window on top; asking again raises the one dialog.
    HWND other = ::CreateWindowExW(0, L"Static", L"", WS_POPUP | WS_VISIBLE, 0, 0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(IsAbove(other, dlg));
    EXPECT_TRUE(uidrv::ChooseTrayMenuItem(p.Status(), 0x450, 2, kUiTimeout)) << "Version";
    for (DWORD t = ::GetTickCount(); !IsAbove(dlg, other) && ::GetTickCount() - t < kUiTimeout;) ::Sleep(20);
    EXPECT_TRUE(IsAbove(dlg, other));
    EXPECT_EQ(std::vector<HWND>{dlg}, uidrv::FindWindows(version));
    ::DestroyWindow(other);

    for (bool byOk : {true, false}) {
        ::SetWindowPos(dlg, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        ASSERT_TRUE(byOk ? uidrv::ClickButton(dlg, IDOK) : uidrv::Post(dlg, WM_SYSCOMMAND, SC_CLOSE, 0));
        ASSERT_TRUE(uidrv::WaitForNoWindow(version, kUiTimeout));
        uidrv::Post(p.Status(), WM_SYSCOMMAND, IDM_ABOUT, 0);
        ASSERT_NE(nullptr, dlg = uidrv::WaitForWindow(version, kUiTimeout)) << "made again after closing";
        RECT r;
        ::GetWindowRect(dlg, &r);
        EXPECT_NEAR((::GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left, 1) << "centred again";
    }
    EXPECT_TRUE(p.ExitFromTray()) << "with the dialog open";
}

// 0xRRGGBB, rows from the top; empty unless the bitmap is width x height.
std::vector<DWORD> Pixels(HBITMAP bitmap, int width, int height) {
    BITMAP size = {};
    ::GetObjectW(bitmap, sizeof size, &size);
    if (size.bmWidth != width || size.bmHeight != height) return {};
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    std::vector<DWORD> pixels(static_cast<size_t>(width * height));
    HDC screen = ::GetDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    ::DeleteObject(bitmap);
    return pixels;
}

// What the screen shows of a window's client area.
std::vector<DWORD> ScreenPixels(HWND window, RECT area) {
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&area), 2);
    int w = area.right - area.left, h = area.bottom - area.top;
    HDC screen = ::GetDC(nullptr), memory = ::CreateCompatibleDC(screen);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
    return Pixels(bitmap, w, h);
}

// The worker's search messages, posted while a locked song's box holds the
// transfer, run the animation for as long as the test needs.
TEST_F(StatusTest, SearchAnimationFramesAreDrawnWholeOverTheBackgroundAndGoAfterTheSearch) {
    HMODULE module = ::LoadLibraryExW(BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, module);
    auto load = [&](UINT id) { return Pixels(static_cast<HBITMAP>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)), 60, 60); };
    std::vector<DWORD> mask = load(IDB_SEARCH_MASK);
    std::vector<std::vector<DWORD>> frames = {load(IDB_SEARCH_FIRST)};  // in the order shown
    for (UINT id = IDB_SEARCH_BASE + 1; id <= IDB_SEARCH_BASE + 15; ++id) frames.push_back(load(id));
    ASSERT_EQ(3600u, mask.size());
    ASSERT_GT(std::count(frames[0].begin(), frames[0].end(), 0x1f5fa8u), 100) << "the tile's colour, looked for after the search";
    for (size_t k = 0; k < 16; ++k) {
        ASSERT_EQ(3600u, frames[k].size()) << "frame " << k << " is 60 x 60";
        EXPECT_NE(frames[k], frames[(k + 1) % 16]) << "frame " << k << " moves on";
        for (size_t i = 0; i < 3600; ++i) ASSERT_TRUE(mask[i] == 0 || frames[k][i] == 0xFFFFFF) << "frame " << k << " white where the mask is";
    }
    std::wstring locked = AddSong(pc.myMusic, L"1.mp3", 1000, 1);
    HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    RunningProgram p;
    ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
    HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
    ASSERT_NE(nullptr, box);
    ::SetWindowPos(box, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);  // off the animation
    DWORD face = ScreenPixels(p.Status(), {160, 35, 161, 36}).at(0);
    ASSERT_NE(0xFFFFFFu, face) << "the check needs a background other than the frames' white";

    ASSERT_TRUE(uidrv::Post(p.Status(), WM_APP + 5, 0, 0));  // search begins
    std::vector<bool> seen(16);
    for (DWORD t = ::GetTickCount(); std::count(seen.begin(), seen.end(), true) < 6 && ::GetTickCount() - t < kUiTimeout;) {
        std::vector<DWORD> shown = ScreenPixels(p.Status(), {165, 35, 225, 95});
        for (size_t k = 0, i = 0; k < 16; ++k, i = 0) {
            while (i < 3600 && shown[i] == (mask[i] == 0 ? frames[k][i] : face)) ++i;
            if (i == 3600) seen[k] = true;
        }
    }
    EXPECT_GE(std::count(seen.begin(), seen.end(), true), 6) << "frames follow each other, each whole over the background";

    ASSERT_TRUE(uidrv::Post(p.Status(), WM_APP + 6, 0, 0));  // search ends
    auto framePixels = [&]() {
        std::vector<DWORD> shown = ScreenPixels(p.Status(), {165, 35, 225, 95});
        return std::count_if(shown.begin(), shown.end(), [](DWORD c) { return c == 0x1f5fa8; });
    };
    for (DWORD t = ::GetTickCount(); framePixels() > 0 && ::GetTickCount() - t < kUiTimeout;) ::Sleep(20);
    EXPECT_EQ(0, framePixels()) << "the last frame is gone";
    ASSERT_TRUE(uidrv::ClickButton(box, IDOK));
    ::CloseHandle(lock);
    EXPECT_TRUE(p.WaitForIdle() && p.ExitFromTray());
}

} // namespace
