#pragma once
// Where a transfer searches (My Music, the desktops, folders of the user's
// choice or every drive) and, through the advanced dialog, the extension
// pairs. Only OK writes anything.

#include "shell/DetailSetDlg.h"
#include "store/Settings.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <memory>
#include <vector>

class SettingDlg : public CModalDlg {
public:
    SettingDlg(const wchar_t* templateName, HWND* owner);
    ~SettingDlg() override;

    // 1: the first start, with a taskbar button of its own.
    void SetFirstStart(int value);

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog() override;
    INT_PTR OnClose() override;
    void OnEnd() override;
    virtual void OnButton(WPARAM wParam, LPARAM lParam);

private:
    void LoadSettings();
    void SaveSettings();
    void UpdateSearchAllState();
    void UpdateFolderListState();
    void UpdateRemoveState();
    bool ValidateFolders();
    void AddFolder();
    void RemoveFolders();
    void ShowAdvanced();
    void ShowError(const std::wstring& text);

    std::unique_ptr<CCheckButton> m_searchAll;
    std::unique_ptr<CCheckButton> m_myMusic;
    std::unique_ptr<CCheckButton> m_desktop;
    std::unique_ptr<CCheckButton> m_specified;
    std::unique_ptr<CListBox> m_folderList;
    std::unique_ptr<CButton> m_cancelButton;
    std::unique_ptr<CButton> m_addButton;
    std::unique_ptr<CButton> m_removeButton;
    std::unique_ptr<DetailSetDlg> m_advancedDlg;
    bool m_firstStart = false;
    std::vector<CExtensionPair> m_pairs;
};
