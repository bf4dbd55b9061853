#pragma once
// Typed operations on the controls of a dialog template. A wrapper views the
// control that GetDlgItem finds (null when the dialog lacks the id: its
// messages then go nowhere); deleting it leaves the control alone. Results are
// the control's own, unchecked.

#include "wndfw/BaseWnd.h"

#include <string>

class CButton : public CCtrl {
public:
    CButton(HWND parent, int id);
    ~CButton() override;
};

class CCheckButton : public CButton {
public:
    CCheckButton(HWND parent, int id);
    ~CCheckButton() override;

    int GetCheck();
    void SetCheck(int state);
};

class CQcEdit : public CCtrl {
public:
    CQcEdit(HWND parent, int id);
    ~CQcEdit() override;

    int LineIndex(int line);
    void SetReadOnly(BOOL readOnly);
    int IsReadOnly();
    int GetLineCount();
    void LineScroll(int lines, int columns);
    void SetSel(int start, int end);
    void ReplaceSel(const wchar_t* text, BOOL canUndo);
};

// A list box with a horizontal scroll bar whose range follows its widest item,
// so that a long folder path can be scrolled into view.
class CListBox : public CCtrl {
public:
    CListBox(HWND parent, int id);
    ~CListBox() override;

    int GetCount();
    // Copies at most capacity - 1 characters and a terminator; the result is
    // the number copied, or LB_ERR for a missing item or no room at all.
    int GetItemString(int index, wchar_t* buffer, int capacity);
    std::wstring GetItemString(int index);
    void SetSel(int index, BOOL select);
    int GetSelCount();
    int GetSelItems(int capacity, int* indexes);
    int AddString(const wchar_t* text);
    int DeleteString(int index);
    // 1 when an item equals the text (ignoreCase: without regard to ASCII case).
    int FindString(const wchar_t* text, BOOL ignoreCase);
    int GetItemWidth(int index);
    void UpdateExtent(const wchar_t* text);
    void RecalcExtent();

private:
    int MeasureText(const wchar_t* text);

    int m_widest = 0;
};

// A list-view control in report view.
class CListCtrl : public CCtrl {
public:
    CListCtrl(HWND parent, int id);
    ~CListCtrl() override;

    int GetNextItem(int start, UINT flags);
    void SetItemState(int index, UINT state, UINT mask);
    // A width or subitem of -1 leaves that value out.
    int InsertColumn(int index, const wchar_t* text, int format, int width, int subitem);
    void DeleteItem(int index);
    int InsertItem(int index, const wchar_t* text);
    int GetSelectedCount();
    int GetItemCount();
    int GetItemText(int index, int subitem, wchar_t* buffer, int capacity);
    void SetItemText(int index, int subitem, const wchar_t* text);
};

class CProgress : public CCtrl {
public:
    CProgress(HWND parent, int id);
    ~CProgress() override;

    void SetRange32(int low, int high);
    void SetPos(int position);
};

class CQcStaticText : public CCtrl {
public:
    CQcStaticText(HWND parent, int id);
    ~CQcStaticText() override;
};
