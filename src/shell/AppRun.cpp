#include "shell/AppRun.h"

#include "foundation/SysFile.h"
#include "shell/StatusDlg.h"
#include "store/AppPaths.h"

#include <commctrl.h>

namespace {

// True when the path can be built and nothing is there yet.
bool IsMissing(bool (*getPath)(std::wstring&)) {
    std::wstring path;
    if (!getPath(path)) return false;
    CSysFile file;
    file.SetPath(path.c_str());
    return file.Exists() == S_FALSE;
}

} // namespace

int InitAppData(int& firstStart) {
    int first = 0;
    int firstContact = 0;
    if (!InitDeviceIdentity(firstContact)) return 0;
    if (firstContact) first = 1;
    if (IsMissing(GetSettingsIniPath)) first = 1;
    if (InitDeviceSettings() == 1) first = 1;
    if (IsMissing(GetHistoryFilePath)) first = 1;
    firstStart = first;
    return 1;
}

int RunStatusDialog() {
    int firstStart = 0;
    if (!InitAppData(firstStart)) return 0;
    // The progress bar and the advanced dialog's list view are common controls:
    // their classes must exist before a template names them.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    {
        StatusDlg status;
        if (firstStart == 1) status.SetFirstStart(1);
        status.DoModal();
    }
    return 0;
}
