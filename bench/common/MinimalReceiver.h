#pragma once
// The least a window that follows a transfer must do: give every text back
// and answer every box at once. Its messages are handled by whoever pumps
// the thread that made it.

#include "engine/TransferMessages.h"
#include "foundation/Handle.h"

class CMinimalReceiver : public CTransferReceiver {
public:
    CMinimalReceiver() : m_answer(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QcBenchReceiver";
        ::RegisterClassW(&wc);
        m_window = ::CreateWindowW(wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CMinimalReceiver() { ::DestroyWindow(m_window); }
    CMinimalReceiver(const CMinimalReceiver&) = delete;
    CMinimalReceiver& operator=(const CMinimalReceiver&) = delete;
    HWND GetTransferWindow() const override { return m_window; }
    HANDLE GetAnswerEvent() const override { return m_answer.Get(); }
    LPARAM completed = -1;
    int boxes = 0;
    int messages = 0;

    // Handles the thread's messages until the thread has ended.
    void PumpUntilEnded(HANDLE thread) {
        while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) Pump();
        Pump();
    }
    static void Pump() {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<CMinimalReceiver*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message >= WM_APP_SET_PROGRESS_RANGE && message <= WM_APP_TRANSFER_CANCELED) ++self->messages;
        switch (message) {
        case WM_APP_LOG_LINE:
        case WM_APP_CAPACITY_ERROR:
            FreeTransferText(lParam);
            return 0;
        case WM_APP_CURRENT_FILE:
            FreeTransferText(static_cast<LPARAM>(wParam));
            FreeTransferText(lParam);
            return 0;
        case WM_APP_MESSAGE_BOX:
            FreeTransferText(lParam);
            if (self) {
                ++self->boxes;
                ::SetEvent(self->m_answer.Get());
            }
            return 0;
        case WM_APP_TRANSFER_COMPLETE:
            if (self) self->completed = lParam;
            return 0;
        default:
            return ::DefWindowProcW(window, message, wParam, lParam);
        }
    }
    HWND m_window = nullptr;
    CHandle m_answer;
};
