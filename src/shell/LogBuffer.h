#pragma once
// The transfer log's lines on their way into its edit. Each insertion into an
// edit costs time in proportion to its whole text, so lines reach it in
// batches on a timer: a transfer of many small files would otherwise spend
// most of its time in the log.

#include "wndfw/Controls.h"

#include <string>

class CLogBuffer {
public:
    static constexpr UINT kFlushPeriodMs = 100;
    // The edit's limit, which the window sets: the edit refuses whatever would
    // pass it, so the oldest whole lines make room for the newest.
    static constexpr size_t kLimitChars = 0xA00000;

    // The window gets WM_TIMER with timerId while lines wait; it calls Flush.
    CLogBuffer(CQcEdit& edit, HWND timerWindow, UINT_PTR timerId);
    CLogBuffer(const CLogBuffer&) = delete;
    CLogBuffer& operator=(const CLogBuffer&) = delete;

    // replaceLast: the line takes the place of the last line added, wherever
    // that is by now (a file's "..." line gives way to its result).
    void AddLine(const std::wstring& text, bool replaceLast);
    // Written at once with whatever waits; no later line replaces it.
    void AddFinalLine(const std::wstring& text);
    // Before anything that holds the window (a box), so the log is whole.
    void Flush();

private:
    void MakeRoom(size_t incoming);

    CQcEdit& m_edit;
    HWND m_timerWindow;
    UINT_PTR m_timerId;
    bool m_timerSet = false;
    std::wstring m_pending;
    // Where the last line added begins: in m_pending, or once flushed in the
    // edit. The edit wraps long paths over several display lines, so the line
    // is found by where it was written, not by line number.
    size_t m_pendingLineAt = std::wstring::npos;
    int m_lastLineStart = -1;
    // m_pending begins with the replacement of the last line already written.
    bool m_replaceWritten = false;
};
