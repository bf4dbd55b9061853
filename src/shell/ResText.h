#pragma once
// The string table's texts as the shell shows them: loaded whole, formatted,
// and put in the program's message boxes; and the program's icon on its windows.

#include <windows.h>

#include <string>

// Empty when the table lacks the string.
std::wstring ResText(UINT id);
// The string as a wsprintf format (%s takes a wide text); the result is cut
// at 4095 characters, far beyond any text the table formats.
std::wstring ResFormat(UINT id, ...);
// A box counted as every box of the program is, its caption from the table.
int ResMessageBox(HWND owner, UINT captionId, const std::wstring& text, UINT style);
// The name followed by the upper-case drive of the root in brackets: a
// player on e:\ makes "Settings" "Settings(E:)".
std::wstring WithDrive(const std::wstring& name, const wchar_t* root);
// The program's icon in the window's caption (and, with big, in the task
// switcher); the icon is shared and never destroyed.
void SetProgramIcon(HWND window, bool big = false);
