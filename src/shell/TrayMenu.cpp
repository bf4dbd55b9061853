#include "shell/TrayMenu.h"

#include "foundation/Application.h"
#include "foundation/Handle.h"
#include "resource.h"

UINT TrackTrayMenu(HINSTANCE instance, UINT menuId, HWND owner, POINT at) {
    CMenu menu(::LoadMenuW(instance, MAKEINTRESOURCEW(menuId)));
    HMENU popup = menu ? ::GetSubMenu(menu.Get(), 0) : nullptr;
    if (!popup) return 0;
    if (SetMsgBoxFlg != 0) ::EnableMenuItem(popup, IDM_EXIT, MF_BYCOMMAND | MF_GRAYED);
    UINT command = static_cast<UINT>(::TrackPopupMenu(popup, TPM_RETURNCMD, at.x, at.y, 0, owner, nullptr));
    ::PostMessageW(owner, WM_NULL, 0, 0);
    return command;
}
