// A capacity shortage on the running program: the player is a tmpfs of a
// fixed size (run-small-player.sh), so the free space the program sees is the
// platform's own answer. The box names the file and the megabytes still
// needed, the transfer waits for it, and after it the transfer ends as
// interrupted with only the files before the shortage on the player.

#include "support/Computer.h"
#include "support/Program.h"
#include "resource.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>
#include <set>

using namespace qctest;

namespace {

constexpr ULONGLONG MB = 1048576;
constexpr ULONGLONG kReserve = 20 * MB;  // the prepared player's Margin=20 in megabytes
const wchar_t kMyMusicOnly[] = L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=0\r\nSelectedFolders=0\r\n";

ULONGLONG PlayerFreeBytes() {
    ULARGE_INTEGER avail, total, free;
    if (!::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free)) return 0;
    return free.QuadPart;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// Visible top-level windows of every process, with their captions.
std::set<HWND> TopLevelWindows() {
    std::set<HWND> windows;
    ::EnumWindows(
        [](HWND w, LPARAM out) -> BOOL {
            if (::IsWindowVisible(w)) reinterpret_cast<std::set<HWND>*>(out)->insert(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// A top-level window that was not there before and whose caption names the
// player's drive: the shell showing E:\ (under Wine its caption is " (E:)",
// the empty volume label and the drive).
HWND WaitForNewPlayerWindow(const std::set<HWND>& before, DWORD programId, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    do {
        for (HWND w : TopLevelWindows()) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(w, &pid);
            if (before.count(w) || pid == programId) continue;
            std::wstring caption = Lower(uidrv::GetText(w));
            if (caption.find(L"e:\\") != std::wstring::npos || caption.find(L"(e:)") != std::wstring::npos) return w;
        }
        ::Sleep(50);
    } while (::GetTickCount() - start < timeoutMs);
    return nullptr;
}

void CloseWindowAndItsProcess(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    if (HANDLE process = ::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid)) {
        if (::WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) ::TerminateProcess(process, 1);
        ::CloseHandle(process);
    }
}

class CapacityStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* state = std::getenv("QC_SMALL_PLAYER");
        if (!state) GTEST_SKIP() << "not started on a small player (run-small-player.sh)";
        if (std::string(state) == "refused") GTEST_SKIP() << "mounting a tmpfs over the player was refused";
        ULARGE_INTEGER avail, total, free;
        ASSERT_TRUE(::GetDiskFreeSpaceExW(L"E:\\", &avail, &total, &free));
        ASSERT_LE(total.QuadPart, 64 * MB) << "E: is not the small player";
    }

    void ResetAll() {
        pc = ResetComputer();
        computer = PrepareKnownPlayer(pc, kMyMusicOnly);
    }

    struct Song {
        std::wstring source;
        std::wstring name;
        std::string bytes;
    };

    Song AddSong(const std::wstring& name, size_t size, WORD day) {
        Song s{Join(pc.myMusic, name), name, RandomBytes(size, day * 7919u)};
        EXPECT_TRUE(WriteBytes(s.source, s.bytes));
        EXPECT_TRUE(SetLastWrite(s.source, 2024, 5, day, 12, 0));
        return s;
    }

    std::wstring History() {
        std::string bytes;
        ReadBytes(Join(computer, L"TransferredFiles.dat"), bytes);
        return Utf16LeToWide(bytes);
    }

    Computer pc;
    std::wstring computer;
};

// Two songs fit above the 20 MB reserve of a 48 MB player, the third does
// not; the fourth would fit but comes after the shortage.
TEST_F(CapacityStatusTest, TheBoxNamesTheFileAndTheMegabytesTheTransferWaitsAndEndsInterrupted) {
    struct Case {
        const char* answer;
        int button;
        bool opensPlayer;
    } cases[] = {{"OK", IDOK, true}, {"Cancel", IDCANCEL, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        ResetAll();
        std::vector<Song> fitting = {AddSong(L"Early\\a.mp3", 9 * MB + 5000, 1), AddSong(L"b.mp3", 9 * MB + 3000, 2)};
        Song tooBig = AddSong(L"Late\\c.mp3", 12 * MB + 300000, 3);
        Song after = AddSong(L"d.mp3", 200000, 4);

        RunningProgram p;
        ASSERT_TRUE(p.Start(pc.program)) << p.Failure();
        HWND box = uidrv::WaitForMessageBox(p.Process().Id(), kUiTimeout, L"Error");
        ASSERT_NE(nullptr, box) << Narrow(p.LogText());
        uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
        EXPECT_EQ(p.Status(), ::GetWindow(box, GW_OWNER)) << "the box belongs to the status window";
        std::vector<int> ids;
        for (const auto& b : info.buttons) ids.push_back(b.id);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ((std::vector<int>{IDOK, IDCANCEL}), ids);

        // The transfer waits here, so the free space is what the program saw.
        ULONGLONG free = PlayerFreeBytes();
        ULONGLONG usable = free > kReserve ? free - kReserve : 0;
        ASSERT_LT(usable, tooBig.bytes.size()) << "the third song must not fit";
        ULONGLONG remaining = tooBig.bytes.size() + after.bytes.size();
        ULONGLONG needed = remaining / MB - usable / MB + ((remaining & 0xFFC00) ? 1 : 0);
        std::wstring expected = L"The file \"c.mp3\" could not be transferred due to insufficient memory space.\n" +
                                std::to_wstring(needed) +
                                L" MB of memory is required to transfer the remaining files.\n\n"
                                L"Delete any unnecessary files to free up the required space.\n";
        EXPECT_EQ(Narrow(expected), Narrow(info.text));

        ::Sleep(300);
        std::wstring waiting = p.LogText();
        EXPECT_EQ(std::wstring::npos, waiting.find(L"Transfer interrupted.")) << "the transfer waits for the box";
        EXPECT_EQ(L"&Stop transfer", uidrv::GetControlText(p.Status(), IDC_TRANSFER));
        EXPECT_EQ(std::wstring::npos, waiting.find(after.source)) << Narrow(waiting);
        EXPECT_FALSE(FileExists(L"E:\\Music\\d.mp3"));

        std::set<HWND> before = TopLevelWindows();
        ASSERT_TRUE(uidrv::ClickButton(box, c.button));
        ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
        std::wstring log = p.LogText();
        const std::wstring last = L"Transfer interrupted.\r\n";
        ASSERT_GE(log.size(), last.size());
        EXPECT_EQ(Narrow(last), Narrow(log.substr(log.size() - last.size()))) << Narrow(log);
        EXPECT_EQ(L"&Start transfer", uidrv::GetControlText(p.Status(), IDC_TRANSFER));
        EXPECT_TRUE(uidrv::IsControlEnabled(p.Status(), IDC_SETTINGS));
        EXPECT_EQ(std::wstring::npos, log.find(L"Transfer completed.")) << Narrow(log);

        // The songs before the shortage are whole and recorded; nothing after it.
        std::wstring history = History();
        for (const Song& s : fitting) {
            std::string copy;
            EXPECT_TRUE(ReadBytes(L"E:\\Music\\" + s.name, copy)) << Narrow(s.name);
            EXPECT_TRUE(copy == s.bytes) << Narrow(s.name) << " differs";
            EXPECT_NE(std::wstring::npos, log.find(L"Transferring " + s.source + L" ... Complete.")) << Narrow(log);
            EXPECT_NE(std::wstring::npos, history.find(s.source)) << Narrow(history);
        }
        for (const Song* s : {&tooBig, &after}) {
            EXPECT_FALSE(FileExists(L"E:\\Music\\" + s->name)) << Narrow(s->name);
            EXPECT_EQ(std::wstring::npos, history.find(s->source)) << Narrow(history);
        }
        EXPECT_EQ(std::wstring::npos, log.find(after.source)) << Narrow(log);

        HWND shell = WaitForNewPlayerWindow(before, p.Process().Id(), c.opensPlayer ? kUiTimeout : 3000);
        if (c.opensPlayer) {
            EXPECT_NE(nullptr, shell) << "OK opens the player's root in the shell";
        } else {
            EXPECT_EQ(nullptr, shell) << "Cancel opens nothing: " << Narrow(uidrv::GetText(shell));
        }
        if (shell) CloseWindowAndItsProcess(shell);
        EXPECT_TRUE(p.ExitFromTray());
    }
}

} // namespace
