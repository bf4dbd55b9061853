#pragma once
// The program's icon, version and legal notice, both read from the version
// resource of the program's own file. Modeless: the status window keeps the
// object and creates its window again on each request after it was closed.

#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <memory>

class VersionDlg : public CModelessDlg {
public:
    static constexpr const wchar_t* kTemplate = L"VERSIONDLG";

    VersionDlg(const wchar_t* templateName, HWND* owner);
    ~VersionDlg() override;

    INT_PTR OnInitDialog() override;
    INT_PTR OnCommand(WPARAM wParam) override;
    INT_PTR OnClose() override;
    // 1 from the request to create the window until the window is destroyed.
    virtual int IsOpen() const { return m_open; }
    virtual void SetOpen(int open) { m_open = open; }

private:
    void ShowVersionResource();
    void CloseWindow();

    int m_open = 0;
    std::unique_ptr<CQcStaticText> m_version;
    std::unique_ptr<CQcStaticText> m_legalNotice;
};
