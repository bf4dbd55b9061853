#pragma once
// The program's main window: progress, current file, searching indicator and
// the transfer log; owner of the transfer worker and the tray icon. A modal
// dialog whose loop is the program's only message loop.

#include "engine/TransferThread.h"
#include "foundation/Handle.h"
#include "shell/LogBuffer.h"
#include "shell/SettingDlg.h"
#include "shell/TrayIcon.h"
#include "shell/VersionDlg.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <initializer_list>
#include <memory>
#include <string>

class StatusDlg : public CModalDlg, public CTransferReceiver {
public:
    static constexpr const wchar_t* kTemplate = L"StatusDlg";
    static constexpr UINT_PTR kAnimationTimer = 32767;
    static constexpr UINT kAnimationPeriodMs = 62;
    static constexpr int kFrameCount = 16;
    static constexpr UINT_PTR kLogFlushTimer = 32766;

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
    // The steps that bring the window back to idle; each end of a transfer
    // runs them in an order of its own.
    enum class EndStep { Wait, Buttons, Flag, StartText, HideFile, Progress, ResetStop, FinalLine, Timer, Release };
    void EndTransfer(std::initializer_list<EndStep> steps, const std::wstring& finalLine, const wchar_t* flagLog,
                     const wchar_t* releaseLog);
    void OnTimerTick();
    bool PaintFrame();

    std::unique_ptr<CTrayIcon> m_trayIcon;
    std::unique_ptr<CQcStaticText> m_currentFile;
    std::unique_ptr<CQcStaticText> m_searching;
    std::unique_ptr<CQcStaticText> m_percent0;
    std::unique_ptr<CQcStaticText> m_percent100;
    std::unique_ptr<CButton> m_transferButton;
    std::unique_ptr<CButton> m_settingsButton;
    std::unique_ptr<CButton> m_folderButton;
    std::unique_ptr<CQcEdit> m_log;
    std::unique_ptr<CProgress> m_progress;
    UINT m_activateMessage = 0;
    CTransferThread m_worker;
    std::unique_ptr<SettingDlg> m_settingDlg;
    std::unique_ptr<VersionDlg> m_versionDlg;
    POINT m_menuPos = {0, 0};
    int m_firstStart = 0;
    int TransferFlg = 0;
    int TimerFlg = 0;
    int m_frame = 0;
    CHandle m_answerEvent;
    std::unique_ptr<CLogBuffer> m_logBuffer;
};
