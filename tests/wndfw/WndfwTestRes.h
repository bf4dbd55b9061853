#pragma once
// Ids of the test dialogs' controls.

#define IDC_T_LIST 1018
#define IDC_T_OTHER 1026
