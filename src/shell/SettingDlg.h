#pragma once
// Where a transfer searches (My Music, the desktops, folders of the user's
// choice or every drive) and, through the advanced dialog, the extension
// pairs. Only OK writes anything.

#include "shell/DetailSetDlg.h"
#include "store/Settings.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

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
    void ShowError(const wchar_t* text);

    CCheckButton* m_searchAll = nullptr;
    CCheckButton* m_myMusic = nullptr;
    CCheckButton* m_desktop = nullptr;
    CCheckButton* m_specified = nullptr;
    CListBox* m_folderList = nullptr;
    CButton* m_cancelButton = nullptr;
    CButton* m_addButton = nullptr;
    CButton* m_removeButton = nullptr;
    DetailSetDlg* m_advancedDlg = nullptr;
    bool m_firstStart = false;
    std::vector<CExtensionPair> m_pairs;
};
