#pragma once
// Asks for one pair of file extension and destination folder on the player:
// to add a pair, or to change the destination of a listed one.

#include "store/Settings.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <memory>
#include <string>
#include <vector>

// The extension without leading and trailing TAB, IDEOGRAPHIC SPACE and SPACE.
std::wstring TrimExtension(const std::wstring& text);
// True when the text holds a character that cannot be part of an extension.
bool HasForbiddenSymbol(const std::wstring& text);
// The first row whose extension equals the text without regard to ASCII
// letter case, or -1.
int FindExtensionRow(const std::vector<CExtensionPair>& rows, const std::wstring& text);

class ExtSettingDlg : public CModalDlg {
public:
    // Rows in display form: destinations begin with a backslash.
    ExtSettingDlg(const wchar_t* templateName, const std::vector<CExtensionPair>* rows, HWND* owner);
    ~ExtSettingDlg() override;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    INT_PTR OnInitDialog() override;
    INT_PTR OnCommand(WPARAM wParam) override;
    INT_PTR OnClose() override;
    void OnEnd() override;
    virtual void OnShowWindow(WPARAM shown, LPARAM status);

    void SetMode(int mode) { m_mode = mode; }
    void SetInitialValues(const std::wstring& extension, const std::wstring& destination);
    const std::wstring& GetExtension() const { return m_extension; }
    const std::wstring& GetDestination() const { return m_destination; }
    bool IsReplaceConfirmed() const { return m_replaceConfirmed; }

private:
    void BrowseDestination();
    bool ValidateExtension();
    void ShowForbiddenSymbols();
    bool LookupExtension(const std::wstring& text, std::wstring& destination) const;
    void ShowError(UINT textId);

    std::unique_ptr<CQcEdit> m_extensionEdit;
    std::unique_ptr<CQcEdit> m_destinationEdit;
    std::unique_ptr<CButton> m_browseButton;
    std::wstring m_extension;
    std::wstring m_destination;
    const std::vector<CExtensionPair>* m_rows;
    int m_mode = 0;
    bool m_replaceConfirmed = false;
    bool m_beingDestroyed = false;
};
