#include "shell/ExtSettingDlg.h"

#include "foundation/SysQuery.h"
#include "shell/ResText.h"
#include "resource.h"

#include <shlwapi.h>

namespace {

// The browser that BrowseDestination shows, so that an end from outside can
// close it too.
HWND g_destinationBrowser = nullptr;

bool IsBlank(wchar_t c) { return c == L'\t' || c == 0x3000 || c == L' '; }

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

int CALLBACK DestinationBrowseProc(HWND browser, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED) {
        g_destinationBrowser = browser;
        ::SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, data);
    }
    return 0;
}

} // namespace

std::wstring TrimExtension(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool HasForbiddenSymbol(const std::wstring& text) {
    return text.find_first_of(L".\\/:;,*?\"<>|") != std::wstring::npos;
}

int FindExtensionRow(const std::vector<CExtensionPair>& rows, const std::wstring& text) {
    for (size_t i = 0; i < rows.size(); ++i) {
        if (EqualsIgnoringAsciiCase(rows[i].extension, text)) return static_cast<int>(i);
    }
    return -1;
}

ExtSettingDlg::ExtSettingDlg(const wchar_t* templateName, const std::vector<CExtensionPair>* rows, HWND* owner)
    : CModalDlg(templateName, owner), m_rows(rows) {
    g_destinationBrowser = nullptr;
}

ExtSettingDlg::~ExtSettingDlg() { m_beingDestroyed = true; }

void ExtSettingDlg::SetInitialValues(const std::wstring& extension, const std::wstring& destination) {
    m_extension = extension;
    m_destination = destination;
}

INT_PTR ExtSettingDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        return OnClose();
    case WM_SHOWWINDOW:
        OnShowWindow(wParam, lParam);
        return 1;
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam);
    default:
        return 0;
    }
}

INT_PTR ExtSettingDlg::OnInitDialog() {
    INT_PTR result = CModalDlg::OnInitDialog();
    SetProgramIcon(m_hWnd);
    m_extensionEdit = std::make_unique<CQcEdit>(m_hWnd, IDC_EXTENSION);
    m_destinationEdit = std::make_unique<CQcEdit>(m_hWnd, IDC_DESTINATION);
    m_browseButton = std::make_unique<CButton>(m_hWnd, IDC_BROWSE);
    ::SendMessageW(m_extensionEdit->GetHwnd(), EM_LIMITTEXT, 255, 0);
    m_extensionEdit->SetText(m_extension);
    if (m_mode == 0) {
        m_destinationEdit->SetText(L"\\Music");
    } else {
        m_extensionEdit->SetReadOnly(TRUE);
        m_destinationEdit->SetText(m_destination);
    }
    return result;
}

INT_PTR ExtSettingDlg::OnCommand(WPARAM wParam) {
    switch (wParam) {
    case IDOK:
        if (ValidateExtension()) EndDialog(1);
        return 1;
    case IDCANCEL:
        EndDialog(2);
        return 1;
    case IDC_BROWSE:
        BrowseDestination();
        return 1;
    default:
        return 0;
    }
}

INT_PTR ExtSettingDlg::OnClose() {
    EndDialog(8);
    return 1;
}

void ExtSettingDlg::OnEnd() {
    if (g_destinationBrowser && ::IsWindow(g_destinationBrowser)) {
        ::EndDialog(g_destinationBrowser, 8);
        g_destinationBrowser = nullptr;
    }
}

void ExtSettingDlg::OnShowWindow(WPARAM shown, LPARAM) {
    if (shown && m_extensionEdit && m_extensionEdit->IsReadOnly()) m_browseButton->Focus();
}

void ExtSettingDlg::BrowseDestination() {
    std::wstring title = ResText(IDS_SELECT_DESTINATION);
    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    std::wstring current;
    m_destinationEdit->GetText(current);
    wchar_t initial[MAX_PATH + 1];
    ::lstrcpynW(initial, root, MAX_PATH + 1);
    // A destination too long to append leaves the browser at the player's root.
    if (::lstrlenW(initial) + current.size() < MAX_PATH) ::PathAppendW(initial, current.c_str());

    wchar_t chosen[MAX_PATH + 1] = L"";
    BrowseForFolder(m_hWnd, root, title.c_str(), chosen, initial, DestinationBrowseProc,
                    BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE);
    g_destinationBrowser = nullptr;
    if (m_beingDestroyed) return;
    if (chosen[0] && ::lstrlenW(chosen) >= 2) m_destinationEdit->SetText(chosen + 2);
}

bool ExtSettingDlg::ValidateExtension() {
    std::wstring extension, destination;
    m_extensionEdit->GetText(extension);
    m_destinationEdit->GetText(destination);
    std::wstring trimmed = TrimExtension(extension);
    if (trimmed.empty()) {
        ShowError(IDS_NO_EXTENSION);
        return false;
    }
    m_extensionEdit->SetText(trimmed);
    if (HasForbiddenSymbol(trimmed)) {
        ShowForbiddenSymbols();
        return false;
    }
    m_extension = trimmed;
    m_destination = destination;
    if (m_mode == 1) return true;

    std::wstring listed;
    if (!LookupExtension(m_extension, listed)) return true;
    std::wstring text = ResFormat(IDS_REPLACE_DESTINATION, m_extension.c_str(), listed.c_str(), m_destination.c_str());
    if (ResMessageBox(m_hWnd, IDS_CONFIRM_DESTINATION, text, MB_YESNO | MB_ICONINFORMATION) != IDYES) return false;
    m_replaceConfirmed = true;
    return true;
}

void ExtSettingDlg::ShowForbiddenSymbols() {
    // Two strings, so that the symbols keep a line of their own in every language.
    ResMessageBox(m_hWnd, IDS_ERROR_CAPTION, ResText(IDS_FORBIDDEN_SYMBOLS) + ResText(IDS_FORBIDDEN_LIST), MB_ICONHAND);
}

bool ExtSettingDlg::LookupExtension(const std::wstring& text, std::wstring& destination) const {
    if (!m_rows) return false;
    int row = FindExtensionRow(*m_rows, text);
    if (row < 0) return false;
    destination = (*m_rows)[static_cast<size_t>(row)].destination;
    return true;
}

void ExtSettingDlg::ShowError(UINT textId) { ResMessageBox(m_hWnd, IDS_ERROR_CAPTION, ResText(textId), MB_ICONHAND); }
