// Command-line face of the UI driver, for scripts:
//   uidriver wait   [--class C] [--title T] [--timeout MS]     prints the window handle
//   uidriver gone   [--class C] [--title T] [--timeout MS]
//   uidriver msgbox [--title T] [--timeout MS] [--press TEXT]  prints caption and text
//   uidriver text   --hwnd H [--id N]
//   uidriver waittext --hwnd H --id N --contains TEXT [--timeout MS]
//   uidriver click  --hwnd H (--id N | --button TEXT)
//   uidriver post   --hwnd H --msg N [--wparam N] [--lparam N]
// Every verb takes [--desktop NAME] to work on the windows of a Wine virtual
// desktop (explorer /desktop=NAME,...) instead of the default desktop.
// Exit code 0 on success, 1 when the window or control was not found in time.

#include "uidriver/UiDriver.h"

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

namespace {

unsigned long long Number(const std::wstring& s) { return std::wcstoull(s.c_str(), nullptr, 0); }

HWND ToHwnd(const std::wstring& s) { return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(Number(s))); }

void Print(const std::wstring& text) {
    // UTF-8 on stdout, so shell scripts can compare texts.
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputc('\n', stdout);
}

int Usage() {
    std::fputs("usage: uidriver wait|gone|msgbox|text|click|post [options]\n", stderr);
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    std::wstring verb = argv[1];
    std::map<std::wstring, std::wstring> opt;
    for (int i = 2; i + 1 < argc; i += 2) opt[argv[i]] = argv[i + 1];
    auto has = [&](const wchar_t* k) { return opt.count(k) != 0; };
    if (has(L"--desktop")) {
        HDESK desk = ::OpenDesktopW(opt[L"--desktop"].c_str(), 0, FALSE, GENERIC_ALL);
        if (!desk || !::SetThreadDesktop(desk)) {
            std::fputs("uidriver: no such desktop\n", stderr);
            return 1;
        }
    }
    DWORD timeout = has(L"--timeout") ? static_cast<DWORD>(Number(opt[L"--timeout"])) : 10000;

    uidrv::WindowQuery q;
    q.className = opt[L"--class"];
    q.caption = opt[L"--title"];

    if (verb == L"wait") {
        HWND w = uidrv::WaitForWindow(q, timeout);
        if (!w) return 1;
        std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(w)));
        return 0;
    }
    if (verb == L"gone") return uidrv::WaitForNoWindow(q, timeout) ? 0 : 1;
    if (verb == L"msgbox") {
        HWND box = uidrv::WaitForMessageBox(0, timeout, q.caption);
        if (!box) return 1;
        uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
        Print(info.caption);
        Print(info.text);
        if (has(L"--press") && !uidrv::ClickButtonByText(box, opt[L"--press"])) return 1;
        return 0;
    }
    if (!has(L"--hwnd")) return Usage();
    HWND hwnd = ToHwnd(opt[L"--hwnd"]);
    if (verb == L"text") {
        if (!::IsWindow(hwnd)) return 1;
        Print(has(L"--id") ? uidrv::GetControlText(hwnd, static_cast<int>(Number(opt[L"--id"]))) : uidrv::GetText(hwnd));
        return 0;
    }
    if (verb == L"waittext") {
        DWORD start = ::GetTickCount();
        while (uidrv::GetControlText(hwnd, static_cast<int>(Number(opt[L"--id"]))).find(opt[L"--contains"]) ==
               std::wstring::npos) {
            if (!::IsWindow(hwnd) || ::GetTickCount() - start >= timeout) return 1;
            ::Sleep(10);
        }
        return 0;
    }
    if (verb == L"click") {
        if (has(L"--id")) return uidrv::ClickButton(hwnd, static_cast<int>(Number(opt[L"--id"]))) ? 0 : 1;
        return uidrv::ClickButtonByText(hwnd, opt[L"--button"]) ? 0 : 1;
    }
    if (verb == L"post") {
        return uidrv::Post(hwnd, static_cast<UINT>(Number(opt[L"--msg"])), static_cast<WPARAM>(Number(opt[L"--wparam"])),
                           static_cast<LPARAM>(Number(opt[L"--lparam"])))
                   ? 0
                   : 1;
    }
    return Usage();
}
