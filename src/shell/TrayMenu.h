#pragma once
// The notification-area icon's menu, loaded anew for each click.

#include "foundation/Handle.h"

#include <windows.h>

class CTrayMenu {
public:
    // The first popup of the menu resource; nothing when it is missing.
    CTrayMenu(HINSTANCE instance, UINT menuId);

    // Greyed while a transfer runs or a box is open: ending the program then
    // would pull it from under them.
    void EnableExit(bool enabled);
    // The command chosen, or 0. The owner gets WM_NULL afterwards, so the menu
    // closes when the user clicks elsewhere.
    UINT Track(HWND owner, POINT at);

private:
    CMenu m_menu;
    HMENU m_popup = nullptr;
};
