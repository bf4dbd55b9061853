#pragma once
// The notification-area icon of the status window, in the first (152-byte on
// 32-bit Windows) layout of NOTIFYICONDATAW that every shell accepts.

#include <windows.h>
#include <shellapi.h>

class CTrayIcon {
public:
    static constexpr UINT kIconId = 100;
    static constexpr size_t kTipChars = 64;

    explicit CTrayIcon(HWND window);
    // Errors are not reported: the status window works without its icon.
    void Add(UINT callbackMessage, HICON icon, const wchar_t* tip);
    void Remove();
    const NOTIFYICONDATAW& Data() const { return m_data; }

private:
    NOTIFYICONDATAW m_data;
};

// "Quavercart(E:)" for a root that begins with "e:".
void MakeTrayTip(const wchar_t* deviceRoot, wchar_t (&tip)[CTrayIcon::kTipChars]);
// Brings a window of this process forward even when another process has the
// foreground, by borrowing the foreground thread's input state for a moment.
void ForceForeground(HWND window);
