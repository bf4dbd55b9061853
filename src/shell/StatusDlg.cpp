#include "shell/StatusDlg.h"

#include "foundation/Application.h"
#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "foundation/SysQuery.h"
#include "shell/BitmapPainter.h"
#include "shell/Startup.h"
#include "shell/VersionDlg.h"
#include "resource.h"

#include <shlwapi.h>
#include <string>

namespace {

const RECT kFrameRect = {165, 35, 225, 95};

std::wstring LoadText(UINT id) {
    wchar_t buffer[1024];
    LoadResString(id, buffer, 1024);
    return buffer;
}

void SetMenuCloseEnabled(HWND window, bool enabled) {
    HMENU menu = ::GetSystemMenu(window, FALSE);
    if (menu) ::EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

} // namespace

StatusDlg::StatusDlg()
    : CModalDlg(kTemplate, nullptr),
      m_activateMessage(::RegisterWindowMessageW(kActivateMessageName)),
      m_answerEvent(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

StatusDlg::~StatusDlg() {
    if (m_trayIcon) m_trayIcon->Remove();
    m_trayIcon.reset();
    // The worker may still wait for an answer: it ends before anything it uses
    // goes. One that does not end in time keeps its event; the process is ending.
    if (!m_worker.Shutdown()) m_answerEvent.Detach();
    delete m_transferButton;
    delete m_settingsButton;
    delete m_folderButton;
    delete m_log;
    delete m_progress;
    delete m_currentFile;
    delete m_percent0;
    delete m_percent100;
    delete m_searching;
    delete m_versionDlg;
}

INT_PTR StatusDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        OnButton(wParam, lParam);
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(wParam, lParam);
        return 0;
    case WM_CLOSE:
        return OnClose();
    case WM_PAINT:
        return PaintFrame() ? 1 : 0;
    case WM_TIMER:
        if (wParam == kLogFlushTimer) {
            FlushLog();
        } else {
            OnTimerTick();
        }
        return 0;
    case WM_DEVICECHANGE:
        OnDeviceChange();
        return 0;
    case WM_TRAYNOTIFY:
        OnTrayNotify(wParam, lParam);
        return 0;
    case WM_APP_SET_PROGRESS_RANGE:
        m_progress->SetRange32(0, static_cast<int>(lParam));
        return 0;
    case WM_APP_SET_PROGRESS_POS:
        if (TransferFlg == 1) m_progress->SetPos(static_cast<int>(lParam));
        return 0;
    case WM_APP_LOG_LINE:
        AppendLogLine(wParam, reinterpret_cast<wchar_t*>(lParam));
        return 0;
    case WM_APP_CURRENT_FILE:
        SetCurrentFile(reinterpret_cast<wchar_t*>(wParam), reinterpret_cast<wchar_t*>(lParam));
        return 0;
    case WM_APP_SEARCH_BEGIN:
        SetTimer();
        return 0;
    case WM_APP_SEARCH_END:
        EndTimer();
        return 0;
    case WM_APP_TRANSFER_COMPLETE:
        TransEndProcess(static_cast<int>(lParam));
        return 0;
    case WM_APP_TRANSFER_INTERRUPTED:
        TransAbortProcess();
        return 0;
    case WM_APP_CAPACITY_ERROR:
        ShowCapacityErrDlg(static_cast<int>(wParam), reinterpret_cast<wchar_t*>(lParam));
        return 0;
    case WM_APP_MESSAGE_BOX:
        DispMessageBox(static_cast<UINT>(wParam), reinterpret_cast<wchar_t*>(lParam));
        return 0;
    case WM_APP_TRANSFER_CANCELED:
        TransCancelProcess();
        return 0;
    default:
        if (m_activateMessage != 0 && message == m_activateMessage) {
            ForceForeground(m_hWnd);
            ::PostMessageW(m_hWnd, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
        }
        return 0;
    }
}

INT_PTR StatusDlg::OnInitDialog() {
    CenterOnDesktop();
    PublishMainWindow(m_hWnd);
    if (m_firstStart == 1) ::PostMessageW(m_hWnd, WM_COMMAND, IDC_SETTINGS, 1);

    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    wchar_t drive[3] = L"";
    ::lstrcpynW(drive, root, 3);
    ::CharUpperW(drive);
    wchar_t caption[1024 + 8];
    LoadResString(IDS_APP_NAME, caption, 1024);
    wchar_t suffix[8];
    ::wsprintfW(suffix, L"(%s)", drive);
    ::lstrcatW(caption, suffix);
    ::SetWindowTextW(m_hWnd, caption);

    HICON icon = ::LoadIconW(CApplication::GetInstance(), MAKEINTRESOURCEW(IDI_QUAVERCART));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    AddTrayIcon();

    m_transferButton = new CButton(m_hWnd, IDC_TRANSFER);
    m_settingsButton = new CButton(m_hWnd, IDC_SETTINGS);
    m_folderButton = new CButton(m_hWnd, IDC_DISP_FOLDER);
    m_log = new CQcEdit(m_hWnd, IDC_LOG);
    m_progress = new CProgress(m_hWnd, IDC_PROGRESS);
    m_currentFile = new CQcStaticText(m_hWnd, IDC_CURRENT_FILE);
    m_percent0 = new CQcStaticText(m_hWnd, IDC_PERCENT_0);
    m_percent100 = new CQcStaticText(m_hWnd, IDC_PERCENT_100);
    m_searching = new CQcStaticText(m_hWnd, IDC_SEARCHING);

    ::SendMessageW(m_log->GetHwnd(), EM_SETLIMITTEXT, kLogLimitChars, 0);
    m_searching->SetText(LoadText(IDS_SEARCHING));
    m_searching->ShowCtrl(SW_HIDE);
    AddAboutMenuItem();
    if (m_firstStart == 0) ::PostMessageW(m_hWnd, WM_COMMAND, IDC_TRANSFER, 1);
    return TRUE;
}

INT_PTR StatusDlg::OnClose() {
    if (TransferFlg != 1) ::ShowWindow(m_hWnd, SW_HIDE);
    return 1;
}

void StatusDlg::OnButton(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_DISP_FOLDER:
        OnBtnDispFolder();
        break;
    case IDC_SETTINGS:
        OnBtnSettings(lParam);
        break;
    case IDC_TRANSFER:
        OnBtnTransfer();
        break;
    default:
        break;  // Enter and Esc do nothing here
    }
}

void StatusDlg::OnSysCommand(WPARAM wParam, LPARAM) {
    if (LOWORD(wParam) == IDM_ABOUT) ShowVersionDlg();
}

void StatusDlg::OnBtnTransfer() {
    if (TransferFlg == 1) {
        m_worker.Stop(CWorkThread::kStopNoWait, 0);
        return;
    }
    if (m_worker.IsRunning()) return;
    SetMenuCloseEnabled(m_hWnd, false);
    std::wstring stopText = LoadText(IDS_STOP_TRANSFER);
    CountMsgBox(true);
    CMiniLog(-1).Write(L"OnBtnTransfer() : SetMsgBoxFlg ON");
    TransferFlg = 1;
    CMiniLog(-1).Write(L"OnBtnTransfer() : TransferFlg ON");
    m_transferButton->Focus();
    m_transferButton->SetText(stopText);
    m_settingsButton->Enable(FALSE);
    m_folderButton->Enable(FALSE);
    if (int error = m_worker.Start(this)) {
        // No thread means no end message: undo the start, or the window would
        // stay in the transferring state with Stop and Exit doing nothing.
        CMiniLog().Write(L"OnBtnTransfer() : thread start failed %d", error);
        SetTransferFlgOff(L"OnBtnTransfer() : TransferFlg OFF");
        m_transferButton->SetText(LoadText(IDS_START_TRANSFER));
        SetIdleButtons();
        m_worker.ResetStop();
        ReleaseTransfer(L"OnBtnTransfer() : SetMsgBoxFlg OFF");
    }
}

void StatusDlg::WaitForWorker() {
    // The end message is the worker's last act, so this wait is short.
    while (m_worker.IsRunning()) ::Sleep(1);
}

void StatusDlg::SetTransferFlgOff(const wchar_t* logLine) {
    TransferFlg = 0;
    CMiniLog(-1).Write(logLine);
}

void StatusDlg::SetIdleButtons() {
    m_settingsButton->Enable(TRUE);
    m_folderButton->Enable(TRUE);
}

void StatusDlg::AppendFinalLine(const wchar_t* text) {
    // Added at the end like every other line, with what is still pending:
    // reading a large log back and setting it whole again held the window
    // for seconds. No later line replaces this one.
    m_pendingLineAt = std::wstring::npos;
    m_logPending += text;
    m_logPending += L"\r\n";
    FlushLog();
    MakeLogRoom(static_cast<size_t>(::lstrlenW(text)) + 2);
    m_lastLineStart = -1;
}

void StatusDlg::EndTimerIfRunning() {
    if (TimerFlg == 1) EndTimer();
}

void StatusDlg::ReleaseTransfer(const wchar_t* logLine) {
    SetMenuCloseEnabled(m_hWnd, true);
    CountMsgBox(false);
    CMiniLog(-1).Write(logLine);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void StatusDlg::TransEndProcess(int count) {
    WaitForWorker();
    SetIdleButtons();
    SetTransferFlgOff(L"TransAbortProcess() : TransferFlg OFF");
    m_transferButton->SetText(LoadText(IDS_START_TRANSFER));
    m_currentFile->ShowCtrl(SW_HIDE);
    m_progress->SetPos(0);
    m_worker.ResetStop();
    wchar_t songs[1024];
    ::wsprintfW(songs, LoadText(IDS_SONG_COUNT).c_str(), count);
    wchar_t line[2100];
    ::wsprintfW(line, L"%s %s", LoadText(IDS_TRANSFER_COMPLETED).c_str(), songs);
    AppendFinalLine(line);
    EndTimerIfRunning();
    ReleaseTransfer(L"TransEndProcess() : SetMsgBoxFlg OFF");
}

void StatusDlg::TransAbortProcess() {
    WaitForWorker();
    SetIdleButtons();
    SetTransferFlgOff(L"TransAbortProcess() : TransferFlg OFF");
    m_transferButton->SetText(LoadText(IDS_START_TRANSFER));
    m_progress->SetPos(0);
    m_worker.ResetStop();
    AppendFinalLine(LoadText(IDS_TRANSFER_INTERRUPTED).c_str());
    EndTimerIfRunning();
    m_currentFile->ShowCtrl(SW_HIDE);
    ReleaseTransfer(L"TransAbortProcess() : SetMsgBoxFlg OFF");
}

void StatusDlg::TransCancelProcess() {
    WaitForWorker();
    SetTransferFlgOff(L"OnBtnTransfer() : TransferFlg OFF");
    AppendFinalLine(LoadText(IDS_TRANSFER_CANCELED).c_str());
    m_transferButton->SetText(LoadText(IDS_START_TRANSFER));
    m_currentFile->ShowCtrl(SW_HIDE);
    m_progress->SetPos(0);
    SetIdleButtons();
    m_worker.ResetStop();
    EndTimerIfRunning();
    ReleaseTransfer(L"OnBtnTransfer() : SetMsgBoxFlg OFF");
}

void StatusDlg::AppendLogLine(WPARAM mode, wchar_t* text) {
    if (TransferFlg == 0 || !text) {
        FreeTransferText(text);
        return;
    }
    std::wstring line = std::wstring(text) + L"\r\n";
    FreeTransferText(text);
    // Replace mode: the last written line, wherever it is now. The edit wraps
    // long paths over several display lines, so it is found by where it was
    // written, not by line number.
    if (mode == 1 && m_pendingLineAt != std::wstring::npos) {
        m_logPending.erase(m_pendingLineAt);
    } else if (mode == 1 && m_logPending.empty() && m_lastLineStart >= 0) {
        MakeLogRoom(line.size());
        int length = ::GetWindowTextLengthW(m_log->GetHwnd());
        if (m_lastLineStart >= 0 && m_lastLineStart <= length) {
            m_log->SetSel(m_lastLineStart, length);
            m_log->ReplaceSel(line.c_str(), FALSE);
            m_log->LineScroll(m_log->GetLineCount(), 0);
            return;
        }
    }
    m_pendingLineAt = m_logPending.size();
    m_logPending += line;
    // Each insertion into the edit costs time in proportion to its whole text,
    // so lines reach it in batches: a transfer of many small files would
    // otherwise spend most of its time in the log.
    if (!m_logFlushTimer) m_logFlushTimer = ::SetTimer(m_hWnd, kLogFlushTimer, kLogFlushPeriodMs, nullptr) != 0;
}

void StatusDlg::FlushLog() {
    if (m_logFlushTimer) {
        ::KillTimer(m_hWnd, kLogFlushTimer);
        m_logFlushTimer = false;
    }
    if (m_logPending.empty()) return;
    MakeLogRoom(m_logPending.size());
    int length = ::GetWindowTextLengthW(m_log->GetHwnd());
    if (m_pendingLineAt != std::wstring::npos) m_lastLineStart = length + static_cast<int>(m_pendingLineAt);
    m_pendingLineAt = std::wstring::npos;
    m_log->SetSel(length, length);
    m_log->ReplaceSel(m_logPending.c_str(), FALSE);
    m_log->LineScroll(m_log->GetLineCount(), 0);
    m_logPending.clear();
}

// The edit refuses whatever would pass its limit, so a long transfer would go
// on without its newest lines: the oldest whole lines make room instead.
void StatusDlg::MakeLogRoom(size_t incoming) {
    const size_t length = static_cast<size_t>(::GetWindowTextLengthW(m_log->GetHwnd()));
    if (length + incoming <= kLogLimitChars) return;
    std::wstring all;
    m_log->GetText(all);
    // An eighth of the limit more than needed: each cut costs a pass over the
    // whole text, so it must stay rare.
    size_t cut = length + incoming - kLogLimitChars + kLogLimitChars / 8;
    size_t lineEnd = cut < all.size() ? all.find(L"\r\n", cut - 2) : std::wstring::npos;
    cut = lineEnd == std::wstring::npos ? all.size() : lineEnd + 2;
    m_log->SetSel(0, static_cast<int>(cut));
    m_log->ReplaceSel(L"", FALSE);
    m_lastLineStart = m_lastLineStart >= static_cast<int>(cut) ? m_lastLineStart - static_cast<int>(cut) : -1;
}

void StatusDlg::SetCurrentFile(wchar_t* countText, wchar_t* path) {
    HWND label = m_currentFile->GetHwnd();
    HDC dc = ::GetDC(label);
    if (dc && countText && path) {
        SIZE countSize = {0, 0};
        ::GetTextExtentPoint32W(dc, countText, ::lstrlenW(countText), &countSize);
        RECT client;
        ::GetClientRect(label, &client);
        wchar_t shortPath[MAX_PATH + 1];
        ::lstrcpynW(shortPath, path, MAX_PATH + 1);
        ::PathCompactPathW(dc, shortPath, static_cast<UINT>((client.right - client.left) - countSize.cx));
        wchar_t text[1000];
        ::wnsprintfW(text, 1000, L"%s %s", countText, shortPath);
        m_currentFile->SetText(text);
    }
    if (dc) ::ReleaseDC(label, dc);
    FreeTransferText(countText);
    FreeTransferText(path);
}

void StatusDlg::OpenDeviceRoot() {
    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    ::ShellExecuteW(nullptr, L"open", root, nullptr, nullptr, SW_SHOWNORMAL);
}

void StatusDlg::OnBtnDispFolder() { OpenDeviceRoot(); }

void StatusDlg::ShowCapacityErrDlg(int megabytes, wchar_t* fileName) {
    FlushLog();
    wchar_t text[1024 + MAX_PATH + 16];
    ::wsprintfW(text, LoadText(IDS_CAPACITY_SHORT).c_str(), fileName ? fileName : L"", megabytes);
    std::wstring caption = LoadText(IDS_ERROR_CAPTION);
    CountMsgBox(true);
    CMiniLog(-1).Write(L"ShowCapacityErrDlg() : SetMsgBoxFlg ON");
    if (::MessageBoxW(m_hWnd, text, caption.c_str(), MB_OKCANCEL | MB_ICONHAND) == IDOK) OpenDeviceRoot();
    TransAbortProcess();
    CountMsgBox(false);
    CMiniLog(-1).Write(L"ShowCapacityErrDlg() : SetMsgBoxFlg OFF");
    FreeTransferText(fileName);
}

void StatusDlg::DispMessageBox(UINT style, wchar_t* text) {
    FlushLog();
    std::wstring copy = text ? text : L"";
    std::wstring caption = LoadText(IDS_ERROR_CAPTION);
    CountMsgBox(true);
    CMiniLog(-1).Write(L"DispMessageBox() : SetMsgBoxFlg ON");
    ::MessageBoxW(m_hWnd, copy.c_str(), caption.c_str(), style);
    CountMsgBox(false);
    CMiniLog(-1).Write(L"DispMessageBox() : SetMsgBoxFlg OFF");
    ::SetEvent(m_answerEvent.Get());
    FreeTransferText(text);
}

void StatusDlg::OnDeviceChange() {
    wchar_t module[MAX_PATH + 1] = L"";
    ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    CSysFile self;
    self.SetPath(module);
    if (self.Exists() != S_OK) CloseAll();
}

namespace {
// Message boxes of this thread (the worker's error boxes, a capacity box, a
// dialog's refusal) run loops of their own; the program cannot end while one
// of them still waits. The program's own dialogs are #32770 windows with
// unnumbered texts as well: they are ended by their owners, each in its own way.
BOOL CALLBACK EndMessageBox(HWND window, LPARAM) {
    wchar_t name[16] = L"";
    ::GetClassNameW(window, name, 16);
    if (::lstrcmpW(name, L"#32770") == 0 && ::GetDlgItem(window, 0xFFFF) && !CModalDlg::Find(window) &&
        !CModelessDlg::Find(window)) {
        ::EndDialog(window, IDCANCEL);
    }
    return TRUE;
}
} // namespace

void StatusDlg::CloseAll() {
    ::EnumThreadWindows(::GetCurrentThreadId(), EndMessageBox, 0);
    if (m_settingDlg) m_settingDlg->EndDialog(8);
    if (m_versionDlg) {
        m_versionDlg->EndDialog(8);
        delete m_versionDlg;
        m_versionDlg = nullptr;
    }
    EndDialog(8);
}

void StatusDlg::OnBtnSettings(LPARAM lParam) {
    m_settingDlg = new SettingDlg(L"SETTINGDLG", GetHwndPtr());
    if (lParam == 1) m_settingDlg->SetFirstStart(1);
    INT_PTR result = m_settingDlg->DoModal();
    delete m_settingDlg;
    m_settingDlg = nullptr;
    if (lParam == 1 && result == IDCANCEL) {
        CloseAll();
        return;
    }
    if (m_firstStart == 1) {
        ::ShowWindow(m_hWnd, SW_SHOW);
        m_firstStart = 0;
        ::PostMessageW(m_hWnd, WM_COMMAND, IDC_TRANSFER, 1);
    }
}

void StatusDlg::ShowVersionDlg() {
    if (!m_versionDlg) {
        m_versionDlg = new VersionDlg(VersionDlg::kTemplate, GetHwndPtr());
    } else if (m_versionDlg->IsOpen() && m_versionDlg->GetHwnd()) {
        ::SetWindowPos(m_versionDlg->GetHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
        return;
    }
    m_versionDlg->SetOpen(1);
    m_versionDlg->Create();
}

void StatusDlg::AddAboutMenuItem() {
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    if (!menu) return;
    std::wstring text = LoadText(IDS_ABOUT_ITEM);
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_TYPE;
    item.fType = MFT_STRING;
    item.wID = IDM_ABOUT;
    item.dwTypeData = &text[0];
    ::InsertMenuItemW(menu, static_cast<UINT>(::GetMenuItemCount(menu)), TRUE, &item);
}

void StatusDlg::SetTimer() {
    m_searching->ShowCtrl(SW_SHOW);
    m_currentFile->ShowCtrl(SW_HIDE);
    m_frame = 0;
    m_progress->ShowCtrl(SW_HIDE);
    m_percent0->ShowCtrl(SW_HIDE);
    m_percent100->ShowCtrl(SW_HIDE);
    TimerFlg = 1;
    CMiniLog(-1).Write(L"SetTimer() : TimerFlg ON");
    ::SetTimer(m_hWnd, kAnimationTimer, kAnimationPeriodMs, nullptr);
}

void StatusDlg::EndTimer() {
    ::KillTimer(m_hWnd, kAnimationTimer);
    TimerFlg = 0;
    CMiniLog(-1).Write(L"EndTimer() : TimerFlg OFF");
    m_searching->ShowCtrl(SW_HIDE);
    m_progress->ShowCtrl(SW_SHOW);
    m_percent0->ShowCtrl(SW_SHOW);
    m_percent100->ShowCtrl(SW_SHOW);
    m_currentFile->SetText(L"");
    m_currentFile->ShowCtrl(SW_SHOW);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void StatusDlg::OnTimerTick() {
    m_frame = m_frame < kFrameCount - 1 ? m_frame + 1 : 0;
    ::InvalidateRect(m_hWnd, &kFrameRect, FALSE);
    ::UpdateWindow(m_hWnd);
}

bool StatusDlg::PaintFrame() {
    if (TransferFlg != 1 || TimerFlg != 1) return false;
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    CBitmapPainter painter;
    UINT image = m_frame == 0 ? IDB_SEARCH_FIRST : IDB_SEARCH_BASE + static_cast<UINT>(m_frame);
    painter.Load(m_hWnd, image, IDB_SEARCH_MASK);
    painter.Draw(dc, kFrameRect.left, kFrameRect.top);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

void StatusDlg::AddTrayIcon() {
    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    wchar_t tip[CTrayIcon::kTipChars];
    MakeTrayTip(root, tip);
    HICON icon = ::LoadIconW(CApplication::GetInstance(), MAKEINTRESOURCEW(IDI_QUAVERCART));
    m_trayIcon.reset(new CTrayIcon(m_hWnd));
    m_trayIcon->Add(WM_TRAYNOTIFY, icon, tip);
}

void StatusDlg::OnTrayNotify(WPARAM, LPARAM lParam) {
    switch (lParam) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        ShowTrayMenu(IDR_TRAYMENU);
        break;
    case WM_LBUTTONDBLCLK:
        ShowMainScreen();
        break;
    default:
        break;
    }
}

void StatusDlg::ShowTrayMenu(UINT menuId) {
    ::GetCursorPos(&m_menuPos);
    ::SetForegroundWindow(m_hWnd);
    ::SetFocus(m_hWnd);
    HMENU menu = ::LoadMenuW(CApplication::GetInstance(), MAKEINTRESOURCEW(menuId));
    if (!menu) return;
    HMENU popup = ::GetSubMenu(menu, 0);
    if (SetMsgBoxFlg != 0) ::EnableMenuItem(popup, IDM_EXIT, MF_BYCOMMAND | MF_GRAYED);
    UINT command = static_cast<UINT>(
        ::TrackPopupMenu(popup, TPM_RETURNCMD, m_menuPos.x, m_menuPos.y, 0, m_hWnd, nullptr));
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    ::DestroyMenu(menu);
    switch (command) {
    case IDM_MAIN_SCREEN:
        ShowMainScreen();
        break;
    case IDM_VERSION:
        ShowVersionDlg();
        break;
    case IDM_EXIT:
        // Checked again: a transfer may have started while the menu was open.
        if (SetMsgBoxFlg == 0) CloseAll();
        break;
    default:
        break;
    }
}

void StatusDlg::ShowMainScreen() {
    if (::IsIconic(m_hWnd)) ::ShowWindow(m_hWnd, SW_RESTORE);
    if (!::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOW);
    ::SetForegroundWindow(m_hWnd);
}
