// The transfer log's buffer against a real edit: what the user reads after
// each way the worker's lines can arrive.

#include "shell/LogBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct LogWindow {
    HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 300, 300, nullptr, nullptr, nullptr, nullptr);
    HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, 0, 0, 200,
                                  200, parent, reinterpret_cast<HMENU>(1004), nullptr, nullptr);
    CQcEdit wrapper{parent, 1004};
    CLogBuffer log{wrapper, parent, 7};
    ~LogWindow() { ::DestroyWindow(parent); }
    std::wstring Text() {
        std::wstring text;
        wrapper.GetText(text);
        return text;
    }
};

TEST(LogBuffer, ALineReplacesTheLastLinePendingOrWrittenButNeverTheFinalLine) {
    const std::wstring wrapped = L"Transferring C:\\" + std::wstring(200, L'x') + L".mp3 ...";
    struct Step {
        char op;  // a: add, r: replace the last, f: flush, F: final line
        std::wstring text;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        const wchar_t* log;
    } cases[] = {
        {"pending", {{'a', L"one"}, {'a', L"two ..."}, {'r', L"two ... Complete."}}, L"one\r\ntwo ... Complete.\r\n"},
        {"written, wrapped", {{'a', L"one"}, {'a', wrapped}, {'f', L""}, {'r', L"done"}}, L"one\r\ndone\r\n"},
        {"written, then pending", {{'a', L"a"}, {'f', L""}, {'a', L"b"}, {'r', L"c"}}, L"a\r\nc\r\n"},
        {"final", {{'a', L"x ..."}, {'F', L"Transfer canceled by user."}, {'r', L"late"}},
         L"x ...\r\nTransfer canceled by user.\r\nlate\r\n"},
        {"nothing to replace", {{'r', L"first"}}, L"first\r\n"},
    };
    for (const Case& c : cases) {
        LogWindow w;
        for (const Step& s : c.steps) {
            if (s.op == 'f') w.log.Flush();
            if (s.op == 'F') w.log.AddFinalLine(s.text);
            if (s.op == 'a' || s.op == 'r') w.log.AddLine(s.text, s.op == 'r');
        }
        w.log.Flush();
        EXPECT_EQ(c.log, w.Text()) << c.name;
    }
}

TEST(LogBuffer, APendingLineArmsTheFlushTimerAndTheFlushEndsIt) {
    LogWindow w;
    w.log.AddLine(L"one", false);
    EXPECT_EQ(L"", w.Text()) << "batched, not written at once";
    MSG msg = {};
    for (DWORD t = ::GetTickCount(); ::GetTickCount() - t < 2000 && !::PeekMessageW(&msg, w.parent, WM_TIMER, WM_TIMER, PM_REMOVE);) ::Sleep(10);
    ASSERT_EQ(7u, msg.wParam) << "the flush timer runs while a line waits";
    w.log.Flush();
    EXPECT_EQ(L"one\r\n", w.Text());
    ::Sleep(CLogBuffer::kFlushPeriodMs * 3);
    EXPECT_FALSE(::PeekMessageW(&msg, w.parent, WM_TIMER, WM_TIMER, PM_REMOVE)) << "the flush ends the timer";
}

} // namespace
