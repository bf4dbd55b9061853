#include "shell/ResText.h"

#include "foundation/Application.h"
#include "resource.h"

#include <shlwapi.h>

#include <cstdarg>

std::wstring ResText(UINT id) {
    // With no buffer the table lends its own text, which holds no terminator.
    const wchar_t* text = nullptr;
    int length = ::LoadStringW(CApplication::GetInstance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring ResFormat(UINT id, ...) {
    std::wstring format = ResText(id);
    wchar_t text[4096] = L"";
    va_list args;
    va_start(args, id);
    ::wvnsprintfW(text, 4096, format.c_str(), args);
    va_end(args);
    text[4095] = L'\0';
    return text;
}

int ResMessageBox(HWND owner, UINT captionId, const std::wstring& text, UINT style) {
    return CountedMessageBox(owner, text.c_str(), ResText(captionId).c_str(), style);
}

std::wstring WithDrive(const std::wstring& name, const wchar_t* root) {
    wchar_t drive[3] = L"";
    if (root) ::lstrcpynW(drive, root, 3);
    ::CharUpperW(drive);
    return name + L"(" + drive + L")";
}

void SetProgramIcon(HWND window, bool big) {
    HICON icon = ::LoadIconW(CApplication::GetInstance(), MAKEINTRESOURCEW(IDI_QUAVERCART));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    if (big) ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
}
