#pragma once
// Drives the program's real windows from another process: finds top-level
// windows, reads message boxes and controls, presses buttons, posts messages.
// Every wait is bounded.

#include <windows.h>
#include <string>
#include <vector>

namespace uidrv {

struct WindowQuery {
    std::wstring className;  // empty: any class
    std::wstring caption;    // empty: any caption
    DWORD processId = 0;     // 0: any process
    bool visibleOnly = true;
};

struct ButtonInfo {
    int id;
    std::wstring text;
    bool enabled;
};

struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    std::vector<ButtonInfo> buttons;
};

std::vector<HWND> FindWindows(const WindowQuery& query);
HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs);
// Waits until no window matches; true when that happened in time.
bool WaitForNoWindow(const WindowQuery& query, DWORD timeoutMs);

std::wstring GetText(HWND window);
std::wstring GetClass(HWND window);
std::wstring GetControlText(HWND dialog, int controlId);
bool IsControlEnabled(HWND dialog, int controlId);
bool IsControlVisible(HWND dialog, int controlId);

// A message box is a dialog (#32770) whose text is the static control 0xFFFF.
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs, const std::wstring& caption = L"");
MessageBoxInfo ReadMessageBox(HWND box);

// Messages whose lParam points to data, sent to a window of another process
// with the data copied there: a path (BFFM_SETSELECTIONW), list-view items,
// and the tree item reached from the first root by the child names given
// (expanded on the way; no names: the root).
void SendRemotePath(HWND window, UINT message, WPARAM wParam, const std::wstring& path);
std::wstring GetListViewText(HWND list, int item, int subitem);
void SelectListViewItem(HWND list, int item);
// A list view's first `columns` columns: cells joined by '>', rows by '|'.
std::wstring GetListViewRows(HWND list, int columns);
// A list box of this or another process: items joined by '|', '*' before each selected one.
std::wstring GetListBoxItems(HWND list);

bool SelectTreeItem(HWND tree, const std::vector<std::wstring>& names);

// Presses `button` of `owner`, which opens the system's folder browser, selects
// `path` there (or the tree item `names` reaches, see SelectTreeItem) and
// presses OK if the browser allows that folder, else Cancel; returns whether
// OK was allowed.
bool ChooseInFolderBrowser(HWND owner, int button, const std::wstring& path, DWORD timeoutMs,
                           const std::vector<std::wstring>* names = nullptr);

// Presses a dialog button the way a click does: WM_COMMAND with BN_CLICKED.
bool ClickButton(HWND dialog, int controlId);
bool ClickButtonByText(HWND dialog, const std::wstring& text);  // '&' ignored
bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::wstring StripAccel(const std::wstring& text);

// Opens the popup menu that `owner` shows for its notification-area icon (by
// posting the icon's callback message with a right click) and picks an item
// with the keyboard as a person would: `steps` presses of Down from the top
// (steps > 0) or of Up from the bottom (steps < 0), then Enter. Menus live in
// their own process under Wine, so items are not read, only chosen; a greyed
// item chosen this way does nothing. False when no menu appeared.
bool ChooseTrayMenuItem(HWND owner, UINT callbackMessage, int steps, DWORD timeoutMs);

// A started program with a bounded wait for its end.
class Process {
public:
    Process() = default;
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Start(const std::wstring& exePath, const std::wstring& args = L"", const std::wstring& workDir = L"");
    bool WaitExit(DWORD timeoutMs);
    DWORD ExitCode() const;
    DWORD Id() const { return m_pi.dwProcessId; }
    HANDLE Handle() const { return m_pi.hProcess; }
    void Kill();

private:
    PROCESS_INFORMATION m_pi = {};
};

} // namespace uidrv
