#pragma once
// The notification-area icon's menu, loaded anew for each click.

#include <windows.h>

// The command chosen from the first popup of the menu resource, or 0. Exit
// is greyed while SetMsgBoxFlg counts a running transfer or an open box:
// ending the program then would pull it from under them. The owner gets
// WM_NULL afterwards, so the menu closes when the user clicks elsewhere.
UINT TrackTrayMenu(HINSTANCE instance, UINT menuId, HWND owner, POINT at);
