#include "shell/LogBuffer.h"

CLogBuffer::CLogBuffer(CQcEdit& edit, HWND timerWindow, UINT_PTR timerId)
    : m_edit(edit), m_timerWindow(timerWindow), m_timerId(timerId) {}

void CLogBuffer::AddLine(const std::wstring& text, bool replaceLast) {
    if (replaceLast && m_pendingLineAt != std::wstring::npos) {
        m_pending.erase(m_pendingLineAt);
    } else if (replaceLast && m_pending.empty() && m_lastLineStart >= 0) {
        // Replaced by the next batch rather than at once: a file's result
        // follows its "..." line after almost every flush, and a second
        // insertion per batch would double the window's time in the edit.
        m_replaceWritten = true;
    }
    m_pendingLineAt = m_pending.size();
    m_pending += text + L"\r\n";
    if (!m_timerSet) m_timerSet = ::SetTimer(m_timerWindow, m_timerId, kFlushPeriodMs, nullptr) != 0;
}

void CLogBuffer::AddFinalLine(const std::wstring& text) {
    // Appended like every other line: reading a large log back and setting it
    // whole again held the window for seconds.
    m_pendingLineAt = std::wstring::npos;
    m_pending += text + L"\r\n";
    Flush();
    m_lastLineStart = -1;
}

void CLogBuffer::Flush() {
    if (m_timerSet) {
        ::KillTimer(m_timerWindow, m_timerId);
        m_timerSet = false;
    }
    if (m_pending.empty()) return;
    MakeRoom(m_pending.size());
    const int length = ::GetWindowTextLengthW(m_edit.GetHwnd());
    const int start = m_replaceWritten && m_lastLineStart >= 0 && m_lastLineStart <= length ? m_lastLineStart : length;
    m_replaceWritten = false;
    if (m_pendingLineAt != std::wstring::npos) m_lastLineStart = start + static_cast<int>(m_pendingLineAt);
    m_pendingLineAt = std::wstring::npos;
    m_edit.SetSel(start, length);
    m_edit.ReplaceSel(m_pending.c_str(), FALSE);
    m_edit.LineScroll(m_edit.GetLineCount(), 0);
    m_pending.clear();
}

void CLogBuffer::MakeRoom(size_t incoming) {
    const size_t length = static_cast<size_t>(::GetWindowTextLengthW(m_edit.GetHwnd()));
    if (length + incoming <= kLimitChars) return;
    std::wstring all;
    m_edit.GetText(all);
    // An eighth of the limit more than needed: each cut costs a pass over the
    // whole text, so it must stay rare.
    size_t cut = length + incoming - kLimitChars + kLimitChars / 8;
    size_t lineEnd = cut < all.size() ? all.find(L"\r\n", cut - 2) : std::wstring::npos;
    cut = lineEnd == std::wstring::npos ? all.size() : lineEnd + 2;
    m_edit.SetSel(0, static_cast<int>(cut));
    m_edit.ReplaceSel(L"", FALSE);
    m_lastLineStart = m_lastLineStart >= static_cast<int>(cut) ? m_lastLineStart - static_cast<int>(cut) : -1;
}
