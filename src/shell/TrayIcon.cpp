#include "shell/TrayIcon.h"

#include "shell/ResText.h"

CTrayIcon::CTrayIcon(HWND window) {
    ZeroMemory(&m_data, sizeof m_data);
    m_data.cbSize = NOTIFYICONDATAW_V1_SIZE;
    m_data.hWnd = window;
    m_data.uID = kIconId;
}

void CTrayIcon::Add(UINT callbackMessage, HICON icon, const wchar_t* tip) {
    if (!m_data.hWnd) return;
    m_data.uCallbackMessage = callbackMessage;
    m_data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_data.hIcon = icon;
    ::lstrcpynW(m_data.szTip, tip ? tip : L"", static_cast<int>(kTipChars));
    ::Shell_NotifyIconW(NIM_ADD, &m_data);
}

void CTrayIcon::Remove() {
    if (!m_data.hWnd) return;
    m_data.uFlags = 0;
    ::Shell_NotifyIconW(NIM_DELETE, &m_data);
}

void MakeTrayTip(const wchar_t* deviceRoot, wchar_t (&tip)[CTrayIcon::kTipChars]) {
    // The fixed name, not the string table's: the tip names this program in every language.
    ::lstrcpynW(tip, WithDrive(L"Quavercart", deviceRoot).c_str(), static_cast<int>(CTrayIcon::kTipChars));
}

void ForceForeground(HWND window) {
    DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    DWORD windowThread = ::GetWindowThreadProcessId(window, nullptr);
    ::AttachThreadInput(windowThread, foregroundThread, TRUE);
    DWORD savedTimeout = 0;
    ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &savedTimeout, 0);
    ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    ::SetForegroundWindow(window);
    ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<ULONG_PTR>(savedTimeout)), 0);
    ::AttachThreadInput(windowThread, foregroundThread, FALSE);
}
