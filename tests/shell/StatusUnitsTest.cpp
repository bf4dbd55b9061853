// The status window's units against real controls: the log's buffer in an
// edit, the tray menu driven by its keys.

#include "shell/LogBuffer.h"
#include "shell/TrayMenu.h"
#include "foundation/Application.h"
#include "support/Computer.h"
#include "resource.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct LogWindow {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | WS_VSCROLL, 0, 0, 200, 200, parent,
                                  reinterpret_cast<HMENU>(1004), nullptr, nullptr);
    CQcEdit wrapper{parent, 1004};
    CLogBuffer log{wrapper, parent, 7};
    ~LogWindow() { ::DestroyWindow(parent); }
    std::wstring Text() { return uidrv::GetText(edit); }
};

TEST(StatusUnits, ALogLineReplacesTheLastLinePendingOrWrittenButNeverTheFinalLine) {
    const std::wstring wrapped = L"Transferring C:\\" + std::wstring(200, L'x') + L".mp3 ...";
    struct Case {
        const char* steps;  // a: add, r: replace the last, f: flush, F: final line
        std::wstring texts[4];
        const wchar_t* log;
    } cases[] = {
        {"aar", {L"one", L"two ...", L"two ... Complete."}, L"one\r\ntwo ... Complete.\r\n"},
        {"aafr", {L"one", wrapped, L"", L"done"}, L"one\r\ndone\r\n"},
        {"afFr", {L"x ...", L"", L"Transfer canceled by user.", L"late"}, L"x ...\r\nTransfer canceled by user.\r\nlate\r\n"},
        {"r", {L"first"}, L"first\r\n"},
    };
    for (const Case& c : cases) {
        LogWindow w;
        for (int i = 0; c.steps[i]; ++i) {
            if (c.steps[i] == 'f') w.log.Flush();
            if (c.steps[i] == 'F') w.log.AddFinalLine(c.texts[i]);
            if (c.steps[i] == 'a' || c.steps[i] == 'r') w.log.AddLine(c.texts[i], c.steps[i] == 'r');
        }
        w.log.Flush();
        EXPECT_EQ(c.log, w.Text()) << c.steps;
    }
}

TEST(StatusUnits, APendingLogLineArmsTheFlushTimer) {
    LogWindow w;
    w.log.AddLine(L"one", false);
    MSG msg = {};
    for (DWORD t = ::GetTickCount(); ::GetTickCount() - t < 2000 && !::PeekMessageW(&msg, w.parent, WM_TIMER, WM_TIMER, PM_REMOVE);) ::Sleep(10);
    EXPECT_EQ(7u, msg.wParam) << "else the line waits for the next box or the transfer's end";
}

TEST(StatusUnits, TrayMenuExitCannotBeChosenWhileABoxOrATransferIsCounted) {
    HMODULE program = ::LoadLibraryExW(qctest::BuiltProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    LogWindow w;
    for (int counted : {1, 0}) {
        SetMsgBoxFlg = counted;
        std::thread keys([] {  // up to Exit and Enter; Esc for a menu that Enter left open
            uidrv::WindowQuery shown = {L"#32768", L"", ::GetCurrentProcessId(), true};
            HWND menu = uidrv::WaitForWindow(shown, 5000);
            for (WPARAM key : {VK_UP, VK_RETURN}) ::PostMessageW(menu, WM_KEYDOWN, key, 0);
            if (!uidrv::WaitForNoWindow(shown, 1000)) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        UINT command = TrackTrayMenu(program, IDR_TRAYMENU, w.parent, {0, 0});
        keys.join();
        EXPECT_EQ(counted ? 0u : static_cast<UINT>(IDM_EXIT), command) << counted;
    }
}

} // namespace
