#pragma once
// The extension and destination pairs of the settings dialog's copy, as a
// list to edit, and the clearing of this computer's transfer history.

#include "shell/ExtSettingDlg.h"
#include "store/Settings.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <memory>
#include <string>
#include <vector>

// Rows in display form back to stored pairs: extensions in lower case,
// destinations without their leading backslash.
std::vector<CExtensionPair> PairsFromRows(const std::vector<CExtensionPair>& rows);

class DetailSetDlg : public CModalDlg {
public:
    DetailSetDlg(const wchar_t* templateName, std::vector<CExtensionPair>* pairs, HWND* owner);
    ~DetailSetDlg() override;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog() override;
    INT_PTR OnCommand(WPARAM wParam) override;
    INT_PTR OnClose() override;
    void OnEnd() override;

private:
    void OnListNotify(int controlId, const NMHDR* data);
    void FillExtensionList();
    std::vector<CExtensionPair> ReadRows();
    std::wstring ItemText(int row, int column);
    void EditExtension(int mode);
    void RemoveExtension();
    bool CheckExtensionsPresent();
    void CommitRows();
    void ClearHistory();

    std::unique_ptr<ExtSettingDlg> m_extensionDlg;
    std::unique_ptr<CButton> m_addButton;
    std::unique_ptr<CButton> m_editButton;
    std::unique_ptr<CButton> m_removeButton;
    std::unique_ptr<CButton> m_clearButton;
    std::unique_ptr<CListCtrl> m_list;
    std::vector<CExtensionPair>* m_pairs;
};
