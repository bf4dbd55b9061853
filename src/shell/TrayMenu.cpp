#include "shell/TrayMenu.h"

#include "resource.h"

CTrayMenu::CTrayMenu(HINSTANCE instance, UINT menuId) : m_menu(::LoadMenuW(instance, MAKEINTRESOURCEW(menuId))) {
    if (m_menu) m_popup = ::GetSubMenu(m_menu.Get(), 0);
}

void CTrayMenu::EnableExit(bool enabled) {
    if (m_popup) ::EnableMenuItem(m_popup, IDM_EXIT, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

UINT CTrayMenu::Track(HWND owner, POINT at) {
    if (!m_popup) return 0;
    UINT command = static_cast<UINT>(::TrackPopupMenu(m_popup, TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return command;
}
