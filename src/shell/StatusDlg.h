#pragma once
// The program's main window: progress, current file, searching indicator and
// the transfer log; owner of the transfer worker and the tray icon. A modal
// dialog whose loop is the program's only message loop.

#include "engine/TransferThread.h"
#include "foundation/Handle.h"
#include "shell/SettingDlg.h"
#include "shell/TrayIcon.h"
#include "shell/VersionDlg.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <memory>
#include <string>

class StatusDlg : public CModalDlg, public CTransferReceiver {
public:
    static constexpr const wchar_t* kTemplate = L"StatusDlg";
    static constexpr UINT_PTR kAnimationTimer = 32767;
    static constexpr UINT kAnimationPeriodMs = 62;
    static constexpr int kFrameCount = 16;
    static constexpr UINT_PTR kLogFlushTimer = 32766;
    static constexpr UINT kLogFlushPeriodMs = 100;
    static constexpr size_t kLogLimitChars = 0xA00000;

    StatusDlg();
    ~StatusDlg() override;

    void SetFirstStart(int firstStart) { m_firstStart = firstStart; }

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog() override;
    INT_PTR OnClose() override;
    virtual void OnButton(WPARAM wParam, LPARAM lParam);
    virtual void OnSysCommand(WPARAM wParam, LPARAM lParam);

    HWND GetTransferWindow() const override { return m_hWnd; }
    HANDLE GetAnswerEvent() const override { return m_answerEvent.Get(); }

    void OnBtnTransfer();
    void OnBtnSettings(LPARAM lParam);
    void OnBtnDispFolder();
    void TransEndProcess(int count);
    void TransAbortProcess();
    void TransCancelProcess();
    void AppendLogLine(WPARAM mode, wchar_t* text);
    void SetCurrentFile(wchar_t* countText, wchar_t* path);
    void ShowCapacityErrDlg(int megabytes, wchar_t* fileName);
    void DispMessageBox(UINT style, wchar_t* text);
    void OnDeviceChange();
    void CloseAll();
    void ShowVersionDlg();
    void AddAboutMenuItem();
    void SetTimer();
    void EndTimer();

    // Notification-area icon and menu.
    void AddTrayIcon();
    void OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void ShowTrayMenu(UINT menuId);
    void ShowMainScreen();

private:
    // The idle state's common steps, in the orders each end of a transfer uses.
    void WaitForWorker();
    void SetTransferFlgOff(const wchar_t* logLine);
    void SetIdleButtons();
    void AppendFinalLine(const wchar_t* text);
    void ReleaseTransfer(const wchar_t* logLine);
    void EndTimerIfRunning();
    void OpenDeviceRoot();
    void OnTimerTick();
    void FlushLog();
    void MakeLogRoom(size_t incoming);
    bool PaintFrame();

    std::unique_ptr<CTrayIcon> m_trayIcon;
    CQcStaticText* m_currentFile = nullptr;
    CQcStaticText* m_searching = nullptr;
    CQcStaticText* m_percent0 = nullptr;
    CQcStaticText* m_percent100 = nullptr;
    CButton* m_transferButton = nullptr;
    CButton* m_settingsButton = nullptr;
    CButton* m_folderButton = nullptr;
    CQcEdit* m_log = nullptr;
    CProgress* m_progress = nullptr;
    UINT m_activateMessage = 0;
    CTransferThread m_worker;
    SettingDlg* m_settingDlg = nullptr;
    VersionDlg* m_versionDlg = nullptr;
    POINT m_menuPos = {0, 0};
    int m_firstStart = 0;
    int TransferFlg = 0;
    int TimerFlg = 0;
    int m_frame = 0;
    // Transfer-log lines not yet in the edit, and where the last written line
    // begins: in that text (m_pendingLineAt) or, once flushed, in the edit.
    std::wstring m_logPending;
    size_t m_pendingLineAt = std::wstring::npos;
    int m_lastLineStart = -1;
    bool m_logFlushTimer = false;
    CHandle m_answerEvent;
};
