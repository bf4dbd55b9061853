#pragma once
// Process-wide values of the running program, set once at startup.

#include <windows.h>

class CApplication {
public:
    static void Init(HINSTANCE instance, HINSTANCE previous, const wchar_t* commandLine, int showCommand);
    static HINSTANCE GetInstance() { return s_instance; }
    static HINSTANCE GetPrevInstance() { return s_previous; }
    static const wchar_t* GetCmdLine() { return s_commandLine; }
    static int GetShowCommand() { return s_showCommand; }

private:
    static HINSTANCE s_instance;
    static HINSTANCE s_previous;
    static const wchar_t* s_commandLine;
    static int s_showCommand;
};

// Open message boxes plus running transfers; nonzero greys the tray's Exit.
extern int SetMsgBoxFlg;
void CountMsgBox(bool on);

// A message box bracketed by CountMsgBox, as every box of the program is.
int CountedMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// Loads a string of the program's resources; an empty text when it is missing.
int LoadResString(UINT id, wchar_t* buffer, int size);
