#include "shell/VersionDlg.h"

#include "shell/ResText.h"
#include "resource.h"

#include <shlwapi.h>
#include <vector>

VersionDlg::VersionDlg(const wchar_t* templateName, HWND* owner) : CModelessDlg(templateName, owner) {}

VersionDlg::~VersionDlg() = default;

INT_PTR VersionDlg::OnInitDialog() {
    INT_PTR result = CenterOnDesktop();
    SetProgramIcon(m_hWnd);
    // Each window gets wrappers of its own controls.
    m_version = std::make_unique<CQcStaticText>(m_hWnd, IDC_VERSION_TEXT);
    m_legalNotice = std::make_unique<CQcStaticText>(m_hWnd, IDC_LEGAL_TEXT);
    ShowVersionResource();
    return result;
}

// Whatever cannot be read leaves the template's text in place.
void VersionDlg::ShowVersionResource() {
    wchar_t path[MAX_PATH + 1] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
    if (size == 0) return;
    std::vector<BYTE> data(size * 2 + 2);
    if (!::GetFileVersionInfoW(path, 0, size, data.data())) return;
    WORD* translation = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        !translation || length < 2 * sizeof(WORD)) {
        return;
    }
    wchar_t language[16];
    ::wnsprintfW(language, 16, L"%04x%04x", translation[0], translation[1]);

    wchar_t query[64];
    wchar_t* value = nullptr;
    ::wnsprintfW(query, 64, L"\\StringFileInfo\\%s\\%s", language, L"FileVersion");
    if (::VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &length) && value) {
        wchar_t line[300];
        ::wnsprintfW(line, 300, L"Quavercart Version\t%s", value);
        m_version->SetText(line);
    }
    ::wnsprintfW(query, 64, L"\\StringFileInfo\\%s\\%s", language, L"LegalCopyright");
    if (::VerQueryValueW(data.data(), query, reinterpret_cast<void**>(&value), &length) && value) {
        wchar_t notice[MAX_PATH + 1];
        ::lstrcpynW(notice, value, MAX_PATH + 1);
        m_legalNotice->SetText(notice);
    }
}

void VersionDlg::CloseWindow() {
    m_open = 0;
    ::DestroyWindow(m_hWnd);
}

INT_PTR VersionDlg::OnCommand(WPARAM wParam) {
    if (wParam != IDOK) return 0;  // Esc leaves the dialog open
    CloseWindow();
    return 1;
}

INT_PTR VersionDlg::OnClose() {
    CloseWindow();
    return 1;
}
