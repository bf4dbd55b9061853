#pragma once
// The one contract between the transfer worker and the window that follows it.
// Every message is posted. A text travels in a buffer of kTransferTextBytes
// taken from the process heap by the worker; from the moment of a successful
// post the receiver owns it and gives it back with FreeTransferText.

#include <windows.h>

enum : UINT {
    WM_APP_SET_PROGRESS_RANGE = WM_APP + 1,    // 0, 100
    WM_APP_SET_PROGRESS_POS = WM_APP + 2,      // 0, percentage
    WM_APP_LOG_LINE = WM_APP + 3,              // 0 new line / 1 replace last, text
    WM_APP_CURRENT_FILE = WM_APP + 4,          // text "i/N song(s)", text "path\n"
    WM_APP_SEARCH_BEGIN = WM_APP + 5,          // 0, 0
    WM_APP_SEARCH_END = WM_APP + 6,            // 0, 0
    WM_APP_TRANSFER_COMPLETE = WM_APP + 7,     // 0, files copied and recorded
    WM_APP_TRANSFER_INTERRUPTED = WM_APP + 8,  // 0, 0
    WM_APP_CAPACITY_ERROR = WM_APP + 9,        // megabytes still needed, file name text
    WM_APP_MESSAGE_BOX = WM_APP + 10,          // box style, text; answered by the answer event
    WM_APP_TRANSFER_CANCELED = WM_APP + 11,    // 0, 0
};

constexpr SIZE_T kTransferTextBytes = 2048;
constexpr int kTransferTextChars = static_cast<int>(kTransferTextBytes / sizeof(wchar_t));

// A zeroed text buffer, or null when the heap is exhausted.
wchar_t* AllocTransferText();
void FreeTransferText(wchar_t* text);
inline void FreeTransferText(LPARAM text) { FreeTransferText(reinterpret_cast<wchar_t*>(text)); }

// The window that follows a transfer: the target of every message and the
// auto-reset event it sets once a box the worker asked for has been closed.
class CTransferReceiver {
public:
    virtual HWND GetTransferWindow() const = 0;
    virtual HANDLE GetAnswerEvent() const = 0;

protected:
    ~CTransferReceiver() = default;
};
