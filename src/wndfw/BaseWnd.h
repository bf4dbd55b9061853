#pragma once
// Objects for windows of a class of our own (CRootWnd, CBaseWnd) and for
// controls that a dialog template already made (CCtrl). An object views its
// HWND: it never destroys a window it did not create.

#include <windows.h>
#include <string>

class CRootWnd {
public:
    explicit CRootWnd(const wchar_t* className);
    CRootWnd(const CRootWnd&) = delete;
    CRootWnd& operator=(const CRootWnd&) = delete;

    virtual void Register();
    // Unbinds a live window from this object, so that its later messages go
    // to the default procedure instead of a deleted object.
    virtual ~CRootWnd();
    virtual void Create();
    virtual void Show();
    virtual int IsRegistered();
    virtual void SetRegistered(int flag);
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual void MoveWnd(short left, short top, short right, short bottom);

    HWND GetHwnd() const { return m_hWnd; }

    // The procedure of every class registered here: the object lives in the
    // window's first extra bytes, stored at WM_CREATE.
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    HWND m_hWnd = nullptr;
    const wchar_t* m_className;

private:
    // True while the extra bytes of m_hWnd point to this object.
    bool m_bound = false;
};

class CBaseWnd : public CRootWnd {
public:
    CBaseWnd();

    void Register() override;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Asks OnCommand(id, 1) for each command item's wanted MF_CHECKED,
    // MF_DISABLED and MF_GRAYED flags and applies the ones that differ.
    virtual void UpdateMenu(HMENU menu);
    virtual const wchar_t* GetWndClassName();
    virtual void SetWndClassName(const wchar_t* name);
    virtual WNDPROC GetWndProc();
    virtual UINT GetClassStyle();
    virtual HCURSOR GetClassCursor();
    virtual HICON GetClassIcon();
    virtual const wchar_t* GetClassMenuName();
    virtual const wchar_t* GetWindowTitle();
    virtual DWORD GetWindowStyle();
    virtual int GetInitX();
    virtual int GetInitY();
    virtual int GetInitWidth();
    virtual int GetInitHeight();
    virtual HWND GetParentWnd();
    virtual void Hook();
    virtual void OnDraw(HDC dc);
    virtual void OnPaint(PAINTSTRUCT* paint);
    // A command (lParam 0 or the control) or, with lParam 1, the question of
    // UpdateMenu: the result is then the item's wanted state flags.
    virtual UINT OnCommand(WPARAM id, LPARAM lParam);

    void SetText(const wchar_t* text);
    void SetText(const std::wstring& text);
    void GetText(std::wstring& text);
};

// A control of a dialog; made after the dialog's WM_INITDIALOG has begun.
class CCtrl : public CBaseWnd {
public:
    CCtrl(HWND parent, int id);

    // The dialog the control lives in.
    HWND GetParentWnd() override;

    virtual void SetID(int id);
    virtual int GetID();
    virtual void Enable(BOOL enable);
    virtual void ShowCtrl(int showCommand);
    virtual BOOL IsEnabled();
    virtual void Focus();
    virtual BOOL HasFocus();

protected:
    HWND m_parent;
    int m_id;
};
