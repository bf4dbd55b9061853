// The transfer log's buffer against a real edit control.

#include "shell/LogBuffer.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>

namespace {

// A pending line arms the flush timer, or it would wait for the next box or
// the transfer's end; a result replaces its "..." line, pending or written.
TEST(StatusUnits, APendingLineArmsTheFlushTimerAndALineReplacesTheLastPendingOrWritten) {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 9, 9, nullptr, nullptr, nullptr, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | WS_VSCROLL, 0, 0, 200, 200, parent,
                                  reinterpret_cast<HMENU>(1004), nullptr, nullptr);
    CQcEdit wrapper(parent, 1004);
    CLogBuffer log(wrapper, parent, 7);
    log.AddLine(L"one", false);
    MSG msg = {};
    for (DWORD t = ::GetTickCount(); ::GetTickCount() - t < 2000; ::Sleep(10)) {
        if (::PeekMessageW(&msg, parent, WM_TIMER, WM_TIMER, PM_REMOVE)) break;
    }
    EXPECT_EQ(7u, msg.wParam);
    log.AddLine(L"two ...", false);
    log.AddLine(L"two ... Complete.", true);
    log.AddLine(L"Transferring C:\\" + std::wstring(200, L'x') + L".mp3 ...", false);
    log.Flush();
    log.AddLine(L"done", true);  // over a written line that wraps
    log.Flush();
    EXPECT_EQ(L"one\r\ntwo ... Complete.\r\ndone\r\n", uidrv::GetText(edit));
    ::DestroyWindow(parent);
}

} // namespace
