#include "wndfw/Controls.h"

#include "foundation/Handle.h"

#include <commctrl.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

namespace {

// Room between the widest item and the end of the scroll range.
constexpr int kExtentMargin = 10;

} // namespace

CButton::CButton(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"CButton"); }
CButton::~CButton() = default;

CCheckButton::CCheckButton(HWND parent, int id) : CButton(parent, id) {}
CCheckButton::~CCheckButton() = default;

int CCheckButton::GetCheck() { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
void CCheckButton::SetCheck(int state) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0); }

CQcEdit::CQcEdit(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"CQcEdit"); }
CQcEdit::~CQcEdit() = default;

int CQcEdit::LineIndex(int line) {
    return static_cast<int>(::SendMessageW(m_hWnd, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
}

void CQcEdit::SetReadOnly(BOOL readOnly) { ::SendMessageW(m_hWnd, EM_SETREADONLY, static_cast<WPARAM>(readOnly), 0); }

int CQcEdit::IsReadOnly() {
    if (!::IsWindow(m_hWnd)) return 0;
    return (::GetWindowLongW(m_hWnd, GWL_STYLE) & ES_READONLY) ? 1 : 0;
}

int CQcEdit::GetLineCount() { return static_cast<int>(::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0)); }

void CQcEdit::LineScroll(int lines, int columns) {
    ::SendMessageW(m_hWnd, EM_LINESCROLL, static_cast<WPARAM>(columns), static_cast<LPARAM>(lines));
}

void CQcEdit::SetSel(int start, int end) {
    ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void CQcEdit::ReplaceSel(const wchar_t* text, BOOL canUndo) {
    ::SendMessageW(m_hWnd, EM_REPLACESEL, static_cast<WPARAM>(canUndo), reinterpret_cast<LPARAM>(text));
}

CListBox::CListBox(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"LISTBOX"); }
CListBox::~CListBox() = default;

int CListBox::GetCount() { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0)); }

std::wstring CListBox::GetItemString(int index) {
    // Read at the item's own length: a fixed buffer would overrun on a long item.
    LRESULT length = ::SendMessageW(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR || length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    LRESULT read = ::SendMessageW(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    if (read == LB_ERR || read < 0) return std::wstring();
    return std::wstring(buffer.data(), std::min(static_cast<size_t>(read), static_cast<size_t>(length)));
}

int CListBox::GetItemString(int index, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return LB_ERR;
    LRESULT length = ::SendMessageW(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR) {
        buffer[0] = L'\0';
        return LB_ERR;
    }
    std::wstring text = GetItemString(index);
    size_t copied = std::min(text.size(), static_cast<size_t>(capacity) - 1);
    std::copy_n(text.c_str(), copied, buffer);
    buffer[copied] = L'\0';
    return static_cast<int>(copied);
}

void CListBox::SetSel(int index, BOOL select) {
    ::SendMessageW(m_hWnd, LB_SETSEL, static_cast<WPARAM>(select), static_cast<LPARAM>(index));
}

int CListBox::GetSelCount() { return static_cast<int>(::SendMessageW(m_hWnd, LB_GETSELCOUNT, 0, 0)); }

int CListBox::GetSelItems(int capacity, int* indexes) {
    return static_cast<int>(
        ::SendMessageW(m_hWnd, LB_GETSELITEMS, static_cast<WPARAM>(capacity), reinterpret_cast<LPARAM>(indexes)));
}

int CListBox::AddString(const wchar_t* text) {
    UpdateExtent(text);
    return static_cast<int>(::SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
}

int CListBox::DeleteString(int index) {
    int width = GetItemWidth(index);
    int remaining = static_cast<int>(::SendMessageW(m_hWnd, LB_DELETESTRING, static_cast<WPARAM>(index), 0));
    if (width == m_widest && remaining != LB_ERR) RecalcExtent();
    return remaining;
}

int CListBox::FindString(const wchar_t* text, BOOL ignoreCase) {
    if (!text) return 0;
    int count = GetCount();
    for (int i = 0; i < count; ++i) {
        std::wstring item = GetItemString(i);
        int difference = ignoreCase ? _wcsicmp(item.c_str(), text) : wcscmp(item.c_str(), text);
        if (difference == 0) return 1;
    }
    return 0;
}

int CListBox::MeasureText(const wchar_t* text) {
    CWindowDc dc(m_hWnd);
    if (!dc.Get()) return 0;
    // A list box with the system font has none to select: the context has it already.
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0));
    CSelection selected(dc.Get(), font ? font : ::GetCurrentObject(dc.Get(), OBJ_FONT));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc.Get(), text, ::lstrlenW(text), &size);
    return size.cx;
}

int CListBox::GetItemWidth(int index) {
    std::wstring text = GetItemString(index);
    return MeasureText(text.c_str());
}

void CListBox::UpdateExtent(const wchar_t* text) {
    int width = MeasureText(text ? text : L"");
    if (m_widest == 0 || m_widest < width) {
        m_widest = width;
        ::SendMessageW(m_hWnd, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width + kExtentMargin), 0);
    }
}

void CListBox::RecalcExtent() {
    int widest = 0;
    int count = GetCount();
    for (int i = 0; i < count; ++i) widest = std::max(widest, GetItemWidth(i));
    m_widest = widest;
    ::SendMessageW(m_hWnd, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + kExtentMargin), 0);
}

CListCtrl::CListCtrl(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"LISTCTRL"); }
CListCtrl::~CListCtrl() = default;

int CListCtrl::GetNextItem(int start, UINT flags) {
    return static_cast<int>(
        ::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(LOWORD(flags), 0)));
}

void CListCtrl::SetItemState(int index, UINT state, UINT mask) {
    LVITEMW item = {};
    item.state = state;
    item.stateMask = mask;
    ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int CListCtrl::InsertColumn(int index, const wchar_t* text, int format, int width, int subitem) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT;
    column.fmt = format;
    column.pszText = const_cast<wchar_t*>(text);
    if (width != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = width;
    }
    if (subitem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = subitem;
    }
    return static_cast<int>(
        ::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
}

void CListCtrl::DeleteItem(int index) { ::SendMessageW(m_hWnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0); }

int CListCtrl::InsertItem(int index, const wchar_t* text) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = const_cast<wchar_t*>(text);
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::GetSelectedCount() { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETSELECTEDCOUNT, 0, 0)); }

int CListCtrl::GetItemCount() { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }

int CListCtrl::GetItemText(int index, int subitem, wchar_t* buffer, int capacity) {
    LVITEMW item = {};
    item.iSubItem = subitem;
    item.pszText = buffer;
    item.cchTextMax = capacity;
    return static_cast<int>(
        ::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

void CListCtrl::SetItemText(int index, int subitem, const wchar_t* text) {
    LVITEMW item = {};
    item.iSubItem = subitem;
    item.pszText = const_cast<wchar_t*>(text);
    ::SendMessageW(m_hWnd, LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

CProgress::CProgress(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"msctls_progress32"); }
CProgress::~CProgress() = default;

void CProgress::SetRange32(int low, int high) {
    ::SendMessageW(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void CProgress::SetPos(int position) { ::SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0); }

CQcStaticText::CQcStaticText(HWND parent, int id) : CCtrl(parent, id) { SetWndClassName(L"CQcStaticText"); }
CQcStaticText::~CQcStaticText() = default;
