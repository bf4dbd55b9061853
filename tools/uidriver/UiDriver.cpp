#include "uidriver/UiDriver.h"

#include "foundation/Handle.h"

#include <commctrl.h>
#include <shlobj.h>

namespace uidrv {
namespace {

bool Matches(HWND w, const WindowQuery& q) {
    if (q.visibleOnly && !::IsWindowVisible(w)) return false;
    if (q.processId) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid != q.processId) return false;
    }
    if (!q.className.empty() && GetClass(w) != q.className) return false;
    if (!q.caption.empty() && GetText(w) != q.caption) return false;
    return true;
}

struct EnumState {
    const WindowQuery* query;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND w, LPARAM p) {
    auto* state = reinterpret_cast<EnumState*>(p);
    if (Matches(w, *state->query)) state->found.push_back(w);
    return TRUE;
}

} // namespace

std::vector<HWND> FindWindows(const WindowQuery& query) {
    EnumState state{&query, {}};
    ::EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        auto found = FindWindows(query);
        if (!found.empty()) return found.front();
        if (::GetTickCount() - start >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

bool WaitForNoWindow(const WindowQuery& query, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        if (FindWindows(query).empty()) return true;
        if (::GetTickCount() - start >= timeoutMs) return false;
        ::Sleep(20);
    }
}

std::wstring GetText(HWND window) {
    // WM_GETTEXT by timeout: a hung target must not hang the driver.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return L"";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                               SMTO_ABORTIFHUNG, 2000, &copied)) {
        return L"";
    }
    text.resize(copied);
    return text;
}

std::wstring GetClass(HWND window) {
    wchar_t name[256] = L"";
    ::GetClassNameW(window, name, 256);
    return name;
}

std::wstring GetControlText(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    return control ? GetText(control) : L"";
}

namespace {

DWORD_PTR SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer);
    return answer;
}

// `item` travels into the window's process and back, followed by room for
// the text that its field `text` (if any) is made to point to.
template <typename T>
std::wstring SendRemote(HWND window, UINT message, WPARAM wParam, T item, LPWSTR T::*text = nullptr) {
    struct Block {
        T item;
        wchar_t text[512];
    } block = {item, {}};
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    CHandle process(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    void* memory = nullptr;
    if (process) memory = ::VirtualAllocEx(process.Get(), nullptr, sizeof block, MEM_COMMIT, PAGE_READWRITE);
    if (!memory) return L"<no memory>";
    auto* remote = static_cast<Block*>(memory);
    if (text) block.item.*text = remote->text;
    if (::WriteProcessMemory(process.Get(), remote, &block, sizeof block, nullptr)) {
        SendBounded(window, message, wParam, reinterpret_cast<LPARAM>(remote));
        ::ReadProcessMemory(process.Get(), remote, &block, sizeof block, nullptr);
    }
    ::VirtualFreeEx(process.Get(), memory, 0, MEM_RELEASE);
    block.text[511] = 0;
    return block.text;
}

} // namespace

void SendRemotePath(HWND window, UINT message, WPARAM wParam, const std::wstring& path) {
    struct Path {
        wchar_t text[MAX_PATH + 1];
    } copy = {};
    path.copy(copy.text, MAX_PATH);
    SendRemote(window, message, wParam, copy);
}

std::wstring GetListViewText(HWND list, int item, int subitem) {
    LVITEMW lv = {};
    lv.iSubItem = subitem;
    lv.cchTextMax = 512;
    return SendRemote(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), lv, &LVITEMW::pszText);
}

std::wstring GetListViewRows(HWND list, int columns) {
    std::wstring rows;
    for (int i = 0, n = static_cast<int>(SendBounded(list, LVM_GETITEMCOUNT, 0, 0)); i < n; ++i) {
        for (int column = 0; column < columns; ++column) {
            rows += (i && !column ? L"|" : column ? L">" : L"") + GetListViewText(list, i, column);
        }
    }
    return rows;
}

std::wstring GetListBoxItems(HWND list) {
    std::wstring items;
    for (int i = 0, n = static_cast<int>(SendBounded(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        wchar_t text[1024] = L"";
        ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        bool selected = ::SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
        items += (i ? L"|" : L"") + std::wstring(selected ? L"*" : L"") + text;
    }
    return items;
}

void SelectListViewItem(HWND list, int item) {
    LVITEMW lv = {};
    lv.state = lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendRemote(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), lv);
}

bool SelectTreeItem(HWND tree, const std::vector<std::wstring>& names) {
    DWORD_PTR item = SendBounded(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    for (size_t i = 0; i < names.size() && item; ++i) {
        SendBounded(tree, TVM_EXPAND, TVE_EXPAND, static_cast<LPARAM>(item));
        item = SendBounded(tree, TVM_GETNEXTITEM, TVGN_CHILD, static_cast<LPARAM>(item));
        for (; item; item = SendBounded(tree, TVM_GETNEXTITEM, TVGN_NEXT, static_cast<LPARAM>(item))) {
            TVITEMW tv = {};
            tv.mask = TVIF_TEXT;
            tv.hItem = reinterpret_cast<HTREEITEM>(item);
            tv.cchTextMax = 512;
            if (SendRemote(tree, TVM_GETITEMW, 0, tv, &TVITEMW::pszText) == names[i]) break;
        }
    }
    return item && SendBounded(tree, TVM_SELECTITEM, TVGN_CARET, static_cast<LPARAM>(item));
}

bool ChooseInFolderBrowser(HWND owner, int button, const std::wstring& path, DWORD timeoutMs,
                           const std::vector<std::wstring>* names) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(owner, &processId);
    ClickButton(owner, button);
    // The browser is the new dialog of that owner that is not a message box.
    HWND browser = nullptr;
    for (DWORD start = ::GetTickCount(); !browser && ::GetTickCount() - start < timeoutMs; ::Sleep(10)) {
        for (HWND w : FindWindows({L"#32770", L"", processId, true})) {
            if (::GetWindow(w, GW_OWNER) == owner && !::GetDlgItem(w, 0xFFFF)) browser = w;
        }
    }
    if (!browser) return false;
    if (names) {
        SelectTreeItem(::FindWindowExW(browser, nullptr, L"SysTreeView32", nullptr), *names);
    } else {
        SendRemotePath(browser, BFFM_SETSELECTIONW, TRUE, path);
    }
    // The browser enables OK a moment after the selection changes.
    ::Sleep(200);
    bool enabled = IsControlEnabled(browser, IDOK);
    ClickButton(browser, enabled ? IDOK : IDCANCEL);
    for (DWORD start = ::GetTickCount(); ::IsWindow(browser) && ::GetTickCount() - start < timeoutMs;) ::Sleep(10);
    return enabled;
}

bool IsControlEnabled(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    return control && ::IsWindowEnabled(control);
}

bool IsControlVisible(HWND dialog, int controlId) {
    HWND control = ::GetDlgItem(dialog, controlId);
    return control && ::IsWindowVisible(control);
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs, const std::wstring& caption) {
    WindowQuery q;
    q.className = L"#32770";
    q.caption = caption;
    q.processId = processId;
    DWORD start = ::GetTickCount();
    for (;;) {
        for (HWND w : FindWindows(q)) {
            if (::GetDlgItem(w, 0xFFFF)) return w;
        }
        if (::GetTickCount() - start >= timeoutMs) return nullptr;
        ::Sleep(20);
    }
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.window = box;
    info.caption = GetText(box);
    info.text = GetControlText(box, 0xFFFF);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (GetClass(child) != L"Button" || !::IsWindowVisible(child)) continue;
        info.buttons.push_back({::GetDlgCtrlID(child), GetText(child), ::IsWindowEnabled(child) != FALSE});
    }
    return info;
}

bool ClickButton(HWND dialog, int controlId) {
    HWND button = ::GetDlgItem(dialog, controlId);
    if (!button) return false;
    return ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                          reinterpret_cast<LPARAM>(button)) != FALSE;
}

std::wstring StripAccel(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

bool ClickButtonByText(HWND dialog, const std::wstring& text) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (GetClass(child) == L"Button" && StripAccel(GetText(child)) == StripAccel(text)) {
            return ClickButton(dialog, ::GetDlgCtrlID(child));
        }
    }
    return false;
}

bool ChooseTrayMenuItem(HWND owner, UINT callbackMessage, int steps, DWORD timeoutMs) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    if (!::PostMessageW(owner, callbackMessage, 0, WM_RBUTTONDOWN)) return false;
    HWND menu = WaitForWindow({L"#32768", L"", pid, true}, timeoutMs);
    if (!menu) return false;
    UINT key = steps > 0 ? VK_DOWN : VK_UP;
    for (int i = 0; i < (steps > 0 ? steps : -steps); ++i) {
        ::PostMessageW(menu, WM_KEYDOWN, key, 0);
        ::PostMessageW(menu, WM_KEYUP, key, 0xC0000000);
    }
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    ::PostMessageW(menu, WM_KEYUP, VK_RETURN, 0xC0000000);
    // A greyed item leaves the menu open: close it so the owner is not stuck.
    if (!WaitForNoWindow({L"#32768", L"", pid, true}, 5000)) {
        ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(menu, WM_KEYUP, VK_ESCAPE, 0xC0000000);
        WaitForNoWindow({L"#32768", L"", pid, true}, timeoutMs);
    }
    return true;
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(window, message, wParam, lParam) != FALSE;
}

Process::~Process() {
    if (m_pi.hProcess) ::CloseHandle(m_pi.hProcess);
    if (m_pi.hThread) ::CloseHandle(m_pi.hThread);
}

bool Process::Start(const std::wstring& exePath, const std::wstring& args, const std::wstring& workDir) {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!args.empty()) commandLine += L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    return ::CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            workDir.empty() ? nullptr : workDir.c_str(), &si, &m_pi) != FALSE;
}

bool Process::WaitExit(DWORD timeoutMs) {
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (m_pi.hProcess) ::GetExitCodeProcess(m_pi.hProcess, &code);
    return code;
}

void Process::Kill() {
    if (m_pi.hProcess && ExitCode() == STILL_ACTIVE) {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 5000);
    }
}

} // namespace uidrv
