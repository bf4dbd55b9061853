#include "shell/DetailSetDlg.h"

#include "foundation/SysFile.h"
#include "shell/ResText.h"
#include "store/AppPaths.h"
#include "resource.h"

#include <commctrl.h>

namespace {

// A display text is a stored text plus its backslash; one more for the end.
constexpr int kRowText = static_cast<int>(kMaxPairText) + 2;

} // namespace

std::vector<CExtensionPair> PairsFromRows(const std::vector<CExtensionPair>& rows) {
    std::vector<CExtensionPair> pairs;
    for (const CExtensionPair& row : rows) {
        std::wstring extension = row.extension;
        if (!extension.empty()) ::CharLowerBuffW(&extension[0], static_cast<DWORD>(extension.size()));
        // The display form's leading backslash goes; a lone one is the root.
        std::wstring destination = row.destination.empty() ? row.destination : row.destination.substr(1, kMaxPairText);
        pairs.push_back({extension, destination});
    }
    return pairs;
}

DetailSetDlg::DetailSetDlg(const wchar_t* templateName, std::vector<CExtensionPair>* pairs, HWND* owner)
    : CModalDlg(templateName, owner), m_pairs(pairs) {}

DetailSetDlg::~DetailSetDlg() = default;

INT_PTR DetailSetDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        return OnClose();
    case WM_NOTIFY:
        OnListNotify(static_cast<int>(wParam), reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam);
    default:
        return 0;
    }
}

INT_PTR DetailSetDlg::OnInitDialog() {
    INT_PTR result = CModalDlg::OnInitDialog();
    SetProgramIcon(m_hWnd);
    m_list = std::make_unique<CListCtrl>(m_hWnd, IDC_EXT_LIST);
    m_addButton = std::make_unique<CButton>(m_hWnd, IDC_EXT_ADD);
    m_editButton = std::make_unique<CButton>(m_hWnd, IDC_EXT_EDIT);
    m_removeButton = std::make_unique<CButton>(m_hWnd, IDC_EXT_REMOVE);
    m_clearButton = std::make_unique<CButton>(m_hWnd, IDC_CLEAR_HISTORY);

    std::wstring extension = ResText(IDS_COLUMN_EXTENSION);
    // A translated header wider than the column would be cut: the column grows to show it.
    const int headerWidth = static_cast<int>(
        ::SendMessageW(m_list->GetHwnd(), LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(extension.c_str())));
    m_list->InsertColumn(0, extension.c_str(), LVCFMT_LEFT, headerWidth + 14 > 70 ? headerWidth + 14 : 70, -1);
    m_list->InsertColumn(1, ResText(IDS_COLUMN_DESTINATION).c_str(), LVCFMT_LEFT, 187, -1);
    FillExtensionList();
    ::SendMessageW(m_list->GetHwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_editButton->Enable(FALSE);
    m_removeButton->Enable(FALSE);
    return result;
}

INT_PTR DetailSetDlg::OnCommand(WPARAM wParam) {
    switch (wParam) {
    case IDOK:
        if (CheckExtensionsPresent()) {
            CommitRows();
            EndDialog(1);
        }
        return 1;
    case IDCANCEL:
        EndDialog(0);
        return 1;
    case IDC_EXT_REMOVE:
        RemoveExtension();
        return 1;
    case IDC_EXT_ADD:
        EditExtension(0);
        return 1;
    case IDC_EXT_EDIT:
        EditExtension(1);
        return 1;
    case IDC_CLEAR_HISTORY:
        ClearHistory();
        return 1;
    default:
        return 0;
    }
}

INT_PTR DetailSetDlg::OnClose() {
    EndDialog(0);
    return 1;
}

void DetailSetDlg::OnEnd() {
    if (m_extensionDlg && m_extensionDlg->GetHwnd()) m_extensionDlg->EndDialog(0);
}

void DetailSetDlg::OnListNotify(int controlId, const NMHDR* data) {
    if (controlId != IDC_EXT_LIST || !data || !m_list) return;
    const bool selected = m_list->GetSelectedCount() != 0;
    if (data->code == LVN_ITEMCHANGED) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(data);
        if ((change->uNewState & LVIS_SELECTED) && selected) {
            m_editButton->Enable(TRUE);
            m_removeButton->Enable(TRUE);
            return;
        }
    }
    if (!selected) {
        m_editButton->Enable(FALSE);
        m_removeButton->Enable(FALSE);
    }
}

void DetailSetDlg::FillExtensionList() {
    int n = 0;
    for (const CExtensionPair& pair : *m_pairs) {
        m_list->InsertItem(n, pair.extension.c_str());
        m_list->SetItemText(n, 1, (L"\\" + pair.destination).c_str());
        ++n;
    }
}

std::wstring DetailSetDlg::ItemText(int row, int column) {
    wchar_t text[kRowText] = L"";
    m_list->GetItemText(row, column, text, kRowText);
    return text;
}

std::vector<CExtensionPair> DetailSetDlg::ReadRows() {
    std::vector<CExtensionPair> rows;
    int count = m_list->GetItemCount();
    for (int row = 0; row < count; ++row) rows.push_back({ItemText(row, 0), ItemText(row, 1)});
    return rows;
}

void DetailSetDlg::EditExtension(int mode) {
    std::vector<CExtensionPair> rows = ReadRows();
    m_extensionDlg = std::make_unique<ExtSettingDlg>(L"EXTSETTINGDLG", &rows, GetHwndPtr());
    if (mode == 1) {
        int row = m_list->GetNextItem(-1, LVNI_SELECTED);
        if (row >= 0) {
            m_extensionDlg->SetInitialValues(ItemText(row, 0), ItemText(row, 1));
            m_extensionDlg->SetMode(1);
            if (m_extensionDlg->DoModal() == 1) m_list->SetItemText(row, 1, m_extensionDlg->GetDestination().c_str());
        }
    } else {
        m_extensionDlg->SetMode(0);
        if (m_extensionDlg->DoModal() == 1) {
            const std::wstring& extension = m_extensionDlg->GetExtension();
            const std::wstring& destination = m_extensionDlg->GetDestination();
            if (m_extensionDlg->IsReplaceConfirmed()) {
                int row = FindExtensionRow(rows, extension);
                if (row >= 0) m_list->SetItemText(row, 1, destination.c_str());
            } else {
                int row = m_list->GetItemCount();
                m_list->InsertItem(row, extension.c_str());
                m_list->SetItemText(row, 1, destination.c_str());
                m_list->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            }
        }
    }
    m_extensionDlg.reset();
}

void DetailSetDlg::RemoveExtension() {
    int row = m_list->GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    m_list->DeleteItem(row);
    int count = m_list->GetItemCount();
    if (count == 0) {
        m_addButton->Focus();
        return;
    }
    if (row >= count) row = count - 1;
    m_list->SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list->Focus();
}

bool DetailSetDlg::CheckExtensionsPresent() {
    if (m_list->GetItemCount() > 0) return true;
    ResMessageBox(m_hWnd, IDS_ERROR_CAPTION, ResText(IDS_NO_EXTENSIONS), MB_ICONHAND);
    return false;
}

void DetailSetDlg::CommitRows() { *m_pairs = PairsFromRows(ReadRows()); }

void DetailSetDlg::ClearHistory() {
    if (ResMessageBox(m_hWnd, IDS_CLEAR_HISTORY, ResText(IDS_CLEAR_QUESTION), MB_YESNO | MB_ICONINFORMATION) != IDYES) {
        return;
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));

    std::wstring path;
    if (GetHistoryFilePath(path)) {
        CSysFile file;
        file.SetPath(path.c_str());
        UINT failure = 0;
        DWORD written = 0;
        static const BYTE kByteOrderMark[2] = {0xFF, 0xFE};
        if (file.Open(GENERIC_WRITE, CREATE_ALWAYS) != S_OK) {
            failure = IDS_OPEN_FAILED;
        } else if (file.Write(2, kByteOrderMark, written) != S_OK || written != 2) {
            failure = IDS_CREATE_FAILED;
        } else {
            file.Close();
        }
        if (failure) {
            std::wstring name;
            file.GetFileName(name);
            ResMessageBox(m_hWnd, IDS_ERROR_CAPTION, ResFormat(failure, name.c_str()), MB_ICONHAND);
            return;
        }
    }
    ::Sleep(1000);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}
