#include "shell/SettingDlg.h"

#include "foundation/SysQuery.h"
#include "shell/ResText.h"
#include "resource.h"

#include <shlwapi.h>
#include <string>

namespace {

// The browser that AddFolder shows, so that an end from outside can close it.
HWND g_folderBrowser = nullptr;

// No folder of the player itself can be searched: its songs would be copied
// onto it again.
bool IsOnPlayer(const wchar_t* path) {
    wchar_t root[MAX_PATH + 1] = L"";
    ::lstrcpynW(root, path, MAX_PATH + 1);
    ::PathStripToRootW(root);
    wchar_t player[MAX_PATH + 1] = L"";
    GetDeviceRoot(player);
    return ::lstrcmpiW(root, player) == 0;
}

int CALLBACK SearchFolderBrowseProc(HWND browser, UINT message, LPARAM lParam, LPARAM) {
    if (message == BFFM_INITIALIZED) {
        g_folderBrowser = browser;
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH + 1] = L"";
        if (!::SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(lParam), path)) return 0;
        LPARAM enable = IsOnPlayer(path) ? 0 : 1;
        ::SendMessageW(browser, BFFM_ENABLEOK, 0, enable);
        // Some browsers judge the selection again after this callback; the
        // posted answer comes last.
        ::PostMessageW(browser, BFFM_ENABLEOK, 0, enable);
    }
    return 0;
}

bool IsTicked(const std::unique_ptr<CCheckButton>& box) { return box->GetCheck() == BST_CHECKED; }

} // namespace

SettingDlg::SettingDlg(const wchar_t* templateName, HWND* owner) : CModalDlg(templateName, owner) {
    g_folderBrowser = nullptr;
}

SettingDlg::~SettingDlg() = default;

void SettingDlg::SetFirstStart(int value) {
    if (value == 1) m_firstStart = true;
}

INT_PTR SettingDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_CLOSE:
        return OnClose();
    case WM_COMMAND:
        OnButton(wParam, lParam);
        return 1;
    default:
        return 0;
    }
}

INT_PTR SettingDlg::OnInitDialog() {
    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    ::SetWindowTextW(m_hWnd, WithDrive(ResText(IDS_SETTINGS_CAPTION), root).c_str());
    SetProgramIcon(m_hWnd);

    m_cancelButton = std::make_unique<CButton>(m_hWnd, IDCANCEL);
    m_addButton = std::make_unique<CButton>(m_hWnd, IDC_ADD_FOLDER);
    m_removeButton = std::make_unique<CButton>(m_hWnd, IDC_REMOVE_FOLDER);
    m_searchAll = std::make_unique<CCheckButton>(m_hWnd, IDC_SEARCH_ALL);
    m_myMusic = std::make_unique<CCheckButton>(m_hWnd, IDC_MY_MUSIC);
    m_desktop = std::make_unique<CCheckButton>(m_hWnd, IDC_DESKTOP);
    m_specified = std::make_unique<CCheckButton>(m_hWnd, IDC_SPECIFIED);
    m_folderList = std::make_unique<CListBox>(m_hWnd, IDC_FOLDER_LIST);

    if (m_firstStart) {
        // The owner stays hidden until the settings are made: without a taskbar
        // button of its own the dialog could be lost behind other windows.
        LONG_PTR style = ::GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
        LONG_PTR wanted = (style & ~static_cast<LONG_PTR>(WS_EX_TOOLWINDOW)) | WS_EX_APPWINDOW;
        if (wanted != style) ::SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, wanted);
    }
    LoadSettings();
    UpdateSearchAllState();
    UpdateFolderListState();
    return TRUE;
}

INT_PTR SettingDlg::OnClose() {
    EndDialog(2);
    return 1;
}

void SettingDlg::OnEnd() {
    if (m_advancedDlg) m_advancedDlg->EndDialog(8);
    if (g_folderBrowser && ::IsWindow(g_folderBrowser)) {
        ::EndDialog(g_folderBrowser, 8);
        g_folderBrowser = nullptr;
    }
}

void SettingDlg::OnButton(WPARAM wParam, LPARAM) {
    const WORD id = LOWORD(wParam);
    const WORD notification = HIWORD(wParam);
    switch (id) {
    case IDOK:
        if (ValidateFolders()) {
            SaveSettings();
            EndDialog(1);
        }
        break;
    case IDCANCEL:
        EndDialog(2);
        break;
    case IDC_ADD_FOLDER:
        AddFolder();
        break;
    case IDC_REMOVE_FOLDER:
        RemoveFolders();
        break;
    case IDC_ADVANCED:
        ShowAdvanced();
        break;
    case IDC_FOLDER_LIST:
        if (notification == LBN_SELCHANGE) UpdateRemoveState();
        break;
    case IDC_SPECIFIED:
        if (notification == BN_CLICKED) UpdateFolderListState();
        break;
    case IDC_SEARCH_ALL:
        if (notification == BN_CLICKED) {
            UpdateSearchAllState();
            UpdateFolderListState();
        }
        break;
    default:
        break;
    }
}

void SettingDlg::LoadSettings() {
    CSettingsModel model;
    model.LoadFolderSettings();
    m_searchAll->SetCheck(model.allFolders ? BST_CHECKED : BST_UNCHECKED);
    m_myMusic->SetCheck(model.myMusic ? BST_CHECKED : BST_UNCHECKED);
    m_desktop->SetCheck(model.deskTop ? BST_CHECKED : BST_UNCHECKED);
    m_specified->SetCheck(model.selectedFolders ? BST_CHECKED : BST_UNCHECKED);
    for (const std::wstring& folder : model.folders) m_folderList->AddString(folder.c_str());
    model.LoadExtensionSettings();
    m_pairs = model.pairs;
}

void SettingDlg::SaveSettings() {
    CSettingsModel model;
    model.allFolders = IsTicked(m_searchAll);
    model.myMusic = IsTicked(m_myMusic);
    model.deskTop = IsTicked(m_desktop);
    model.selectedFolders = IsTicked(m_specified);
    int count = m_folderList->GetCount();
    for (int i = 0; i < count; ++i) model.folders.push_back(m_folderList->GetItemString(i));
    model.pairs = m_pairs;
    model.SaveFolderSettings();
    model.SaveExtensionSettings();
}

void SettingDlg::UpdateSearchAllState() {
    BOOL enable = IsTicked(m_searchAll) ? FALSE : TRUE;
    m_myMusic->Enable(enable);
    m_desktop->Enable(enable);
    m_specified->Enable(enable);
}

void SettingDlg::UpdateFolderListState() {
    BOOL usable = IsTicked(m_specified) && m_specified->IsEnabled();
    m_addButton->Enable(usable);
    m_folderList->Enable(usable);
    m_removeButton->Enable(usable && m_folderList->GetSelCount() >= 1);
}

void SettingDlg::UpdateRemoveState() { m_removeButton->Enable(m_folderList->GetSelCount() >= 1); }

bool SettingDlg::ValidateFolders() {
    const bool searchAll = IsTicked(m_searchAll);
    const bool specified = IsTicked(m_specified);
    const bool myMusic = IsTicked(m_myMusic);
    const bool desktop = IsTicked(m_desktop);
    if (searchAll || myMusic || desktop) return true;
    if (specified && m_folderList->GetCount() > 0) return true;
    ShowError(ResText(IDS_NO_FOLDERS));
    return false;
}

void SettingDlg::ShowError(const std::wstring& text) { ResMessageBox(m_hWnd, IDS_ERROR_CAPTION, text, MB_ICONHAND); }

void SettingDlg::AddFolder() {
    // The settings keep at most this many; a longer list would lose the rest
    // at the next load.
    if (m_folderList->GetCount() >= kMaxSearchFolders) {
        ShowError(ResText(IDS_TOO_MANY_FOLDERS));
        return;
    }
    std::wstring title = ResText(IDS_SELECT_FOLDERS);
    wchar_t chosen[MAX_PATH + 1] = L"";
    BrowseForFolder(m_hWnd, nullptr, title.c_str(), chosen, L"", SearchFolderBrowseProc,
                    BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN);
    g_folderBrowser = nullptr;
    if (!chosen[0]) return;
    // Network paths (\\server\share) are not searched.
    if (::lstrlenW(chosen) < 2 || chosen[1] != L':' || IsOnPlayer(chosen)) return;
    if (m_folderList->FindString(chosen, TRUE)) {
        ShowError(ResFormat(IDS_ALREADY_REGISTERED, chosen));
        return;
    }
    m_folderList->AddString(chosen);
}

void SettingDlg::RemoveFolders() {
    int selected[kMaxSearchFolders + 1];
    int count = m_folderList->GetSelItems(kMaxSearchFolders + 1, selected);
    if (count <= 0) return;
    bool followerSelected = false;
    if (m_folderList->GetCount() - 1 > selected[count - 1]) {
        m_folderList->SetSel(selected[count - 1] + 1, TRUE);
        followerSelected = true;
    }
    for (int i = count - 1; i >= 0; --i) m_folderList->DeleteString(selected[i]);
    int remaining = m_folderList->GetCount();
    if (!followerSelected && remaining > 0) {
        m_folderList->SetSel(remaining - 1, TRUE);
        m_folderList->Focus();
    }
    UpdateRemoveState();
}

void SettingDlg::ShowAdvanced() {
    m_advancedDlg = std::make_unique<DetailSetDlg>(L"DetailSetDlg", &m_pairs, GetHwndPtr());
    m_advancedDlg->DoModal();
    m_advancedDlg.reset();
}
