#pragma once
// Ids of the test dialogs' controls.

#define IDC_T_EDIT 1004
#define IDC_T_LIST 1018
#define IDC_T_LISTVIEW 1007
#define IDC_T_PROGRESS 1030
#define IDC_T_OTHER 1026
#define IDC_T_MISSING 4321
