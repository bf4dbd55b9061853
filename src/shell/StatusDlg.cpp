#include "shell/StatusDlg.h"

#include "foundation/Application.h"
#include "foundation/MiniLog.h"
#include "foundation/SysFile.h"
#include "foundation/SysQuery.h"
#include "shell/BitmapPainter.h"
#include "shell/ResText.h"
#include "shell/Startup.h"
#include "shell/TrayMenu.h"
#include "resource.h"

#include <shlwapi.h>
#include <string>

namespace {

const RECT kFrameRect = {165, 35, 225, 95};

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
            m_logBuffer->Flush();
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
    ::SetWindowTextW(m_hWnd, WithDrive(ResText(IDS_APP_NAME), root).c_str());

    SetProgramIcon(m_hWnd, true);
    AddTrayIcon();

    m_transferButton = std::make_unique<CButton>(m_hWnd, IDC_TRANSFER);
    m_settingsButton = std::make_unique<CButton>(m_hWnd, IDC_SETTINGS);
    m_folderButton = std::make_unique<CButton>(m_hWnd, IDC_DISP_FOLDER);
    m_log = std::make_unique<CQcEdit>(m_hWnd, IDC_LOG);
    m_progress = std::make_unique<CProgress>(m_hWnd, IDC_PROGRESS);
    m_currentFile = std::make_unique<CQcStaticText>(m_hWnd, IDC_CURRENT_FILE);
    m_percent0 = std::make_unique<CQcStaticText>(m_hWnd, IDC_PERCENT_0);
    m_percent100 = std::make_unique<CQcStaticText>(m_hWnd, IDC_PERCENT_100);
    m_searching = std::make_unique<CQcStaticText>(m_hWnd, IDC_SEARCHING);
    m_logBuffer = std::make_unique<CLogBuffer>(*m_log, m_hWnd, kLogFlushTimer);

    ::SendMessageW(m_log->GetHwnd(), EM_SETLIMITTEXT, CLogBuffer::kLimitChars, 0);
    m_searching->SetText(ResText(IDS_SEARCHING));
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
    std::wstring stopText = ResText(IDS_STOP_TRANSFER);
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
        using S = EndStep;
        EndTransfer({S::Flag, S::StartText, S::Buttons, S::ResetStop, S::Release}, L"",
                    L"OnBtnTransfer() : TransferFlg OFF", L"OnBtnTransfer() : SetMsgBoxFlg OFF");
    }
}

void StatusDlg::EndTransfer(std::initializer_list<EndStep> steps, const std::wstring& finalLine,
                            const wchar_t* flagLog, const wchar_t* releaseLog) {
    for (EndStep step : steps) {
        switch (step) {
        case EndStep::Wait:
            // The end message is not the worker's last act: it still frees what
            // the transfer gathered, which takes a moment with a large history.
            // A Start after this must find no thread and no stop request.
            while (m_worker.IsRunning()) ::Sleep(1);
            break;
        case EndStep::Buttons:
            m_settingsButton->Enable(TRUE);
            m_folderButton->Enable(TRUE);
            break;
        case EndStep::Flag:
            TransferFlg = 0;
            CMiniLog(-1).Write(flagLog);
            break;
        case EndStep::StartText:
            m_transferButton->SetText(ResText(IDS_START_TRANSFER));
            break;
        case EndStep::HideFile:
            m_currentFile->ShowCtrl(SW_HIDE);
            break;
        case EndStep::Progress:
            m_progress->SetPos(0);
            break;
        case EndStep::ResetStop:
            m_worker.ResetStop();
            break;
        case EndStep::FinalLine:
            m_logBuffer->AddFinalLine(finalLine);
            break;
        case EndStep::Timer:
            if (TimerFlg == 1) EndTimer();
            break;
        case EndStep::Release:
            SetMenuCloseEnabled(m_hWnd, true);
            CountMsgBox(false);
            CMiniLog(-1).Write(releaseLog);
            ::InvalidateRect(m_hWnd, nullptr, TRUE);
            break;
        }
    }
}

// The log lines of the three ends are matched by those who read the log, so
// they stay as they are although two of them name another procedure.
void StatusDlg::TransEndProcess(int count) {
    using S = EndStep;
    EndTransfer({S::Wait, S::Buttons, S::Flag, S::StartText, S::HideFile, S::Progress, S::ResetStop, S::FinalLine,
                 S::Timer, S::Release},
                ResText(IDS_TRANSFER_COMPLETED) + L" " + ResFormat(IDS_SONG_COUNT, count),
                L"TransAbortProcess() : TransferFlg OFF", L"TransEndProcess() : SetMsgBoxFlg OFF");
}

void StatusDlg::TransAbortProcess() {
    using S = EndStep;
    EndTransfer({S::Wait, S::Buttons, S::Flag, S::StartText, S::Progress, S::ResetStop, S::FinalLine, S::Timer,
                 S::HideFile, S::Release},
                ResText(IDS_TRANSFER_INTERRUPTED), L"TransAbortProcess() : TransferFlg OFF",
                L"TransAbortProcess() : SetMsgBoxFlg OFF");
}

void StatusDlg::TransCancelProcess() {
    using S = EndStep;
    EndTransfer({S::Wait, S::Flag, S::FinalLine, S::StartText, S::HideFile, S::Progress, S::Buttons, S::ResetStop,
                 S::Timer, S::Release},
                ResText(IDS_TRANSFER_CANCELED), L"OnBtnTransfer() : TransferFlg OFF",
                L"OnBtnTransfer() : SetMsgBoxFlg OFF");
}

void StatusDlg::AppendLogLine(WPARAM mode, wchar_t* text) {
    if (TransferFlg == 1 && text) m_logBuffer->AddLine(text, mode == 1);
    FreeTransferText(text);
}

void StatusDlg::SetCurrentFile(wchar_t* countText, wchar_t* path) {
    HWND label = m_currentFile->GetHwnd();
    CWindowDc dc(label);
    if (dc.Get() && countText && path) {
        SIZE countSize = {0, 0};
        ::GetTextExtentPoint32W(dc.Get(), countText, ::lstrlenW(countText), &countSize);
        RECT client;
        ::GetClientRect(label, &client);
        wchar_t shortPath[MAX_PATH + 1];
        ::lstrcpynW(shortPath, path, MAX_PATH + 1);
        ::PathCompactPathW(dc.Get(), shortPath, static_cast<UINT>((client.right - client.left) - countSize.cx));
        wchar_t text[1000];
        ::wnsprintfW(text, 1000, L"%s %s", countText, shortPath);
        m_currentFile->SetText(text);
    }
    FreeTransferText(countText);
    FreeTransferText(path);
}

// The player's root, whatever the button's label says.
void StatusDlg::OnBtnDispFolder() {
    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    ::ShellExecuteW(nullptr, L"open", root, nullptr, nullptr, SW_SHOWNORMAL);
}

void StatusDlg::ShowCapacityErrDlg(int megabytes, wchar_t* fileName) {
    m_logBuffer->Flush();
    std::wstring text = ResFormat(IDS_CAPACITY_SHORT, fileName ? fileName : L"", megabytes);
    std::wstring caption = ResText(IDS_ERROR_CAPTION);
    CountMsgBox(true);
    CMiniLog(-1).Write(L"ShowCapacityErrDlg() : SetMsgBoxFlg ON");
    if (::MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_OKCANCEL | MB_ICONHAND) == IDOK) OnBtnDispFolder();
    TransAbortProcess();
    CountMsgBox(false);
    CMiniLog(-1).Write(L"ShowCapacityErrDlg() : SetMsgBoxFlg OFF");
    FreeTransferText(fileName);
}

void StatusDlg::DispMessageBox(UINT style, wchar_t* text) {
    m_logBuffer->Flush();
    std::wstring copy = text ? text : L"";
    std::wstring caption = ResText(IDS_ERROR_CAPTION);
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
        m_versionDlg.reset();
    }
    EndDialog(8);
}

void StatusDlg::OnBtnSettings(LPARAM lParam) {
    m_settingDlg = std::make_unique<SettingDlg>(L"SETTINGDLG", GetHwndPtr());
    if (lParam == 1) m_settingDlg->SetFirstStart(1);
    INT_PTR result = m_settingDlg->DoModal();
    m_settingDlg.reset();
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
        m_versionDlg = std::make_unique<VersionDlg>(VersionDlg::kTemplate, GetHwndPtr());
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
    std::wstring text = ResText(IDS_ABOUT_ITEM);
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
    CPaintDc dc(m_hWnd);
    CBitmapPainter painter;
    UINT image = m_frame == 0 ? IDB_SEARCH_FIRST : IDB_SEARCH_BASE + static_cast<UINT>(m_frame);
    painter.Load(m_hWnd, image, IDB_SEARCH_MASK);
    if (dc.Get()) painter.Draw(dc.Get(), kFrameRect.left, kFrameRect.top);
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
    switch (TrackTrayMenu(CApplication::GetInstance(), menuId, m_hWnd, m_menuPos)) {
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
