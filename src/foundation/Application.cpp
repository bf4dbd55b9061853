#include "foundation/Application.h"

HINSTANCE CApplication::s_instance = nullptr;
HINSTANCE CApplication::s_previous = nullptr;
const wchar_t* CApplication::s_commandLine = L"";
int CApplication::s_showCommand = SW_SHOWNORMAL;

int SetMsgBoxFlg = 0;

void CApplication::Init(HINSTANCE instance, HINSTANCE previous, const wchar_t* commandLine, int showCommand) {
    s_instance = instance;
    s_previous = previous;
    s_commandLine = commandLine ? commandLine : L"";
    s_showCommand = showCommand;
}

void CountMsgBox(bool on) { SetMsgBoxFlg += on ? 1 : -1; }

int CountedMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    CountMsgBox(true);
    int answer = ::MessageBoxW(owner, text, caption, type);
    CountMsgBox(false);
    return answer;
}

int LoadResString(UINT id, wchar_t* buffer, int size) {
    buffer[0] = L'\0';
    int n = ::LoadStringW(CApplication::GetInstance(), id, buffer, size);
    if (n <= 0) buffer[0] = L'\0';
    return n;
}
