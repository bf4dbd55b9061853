#pragma once
// Dialogs built from templates in the program's resources.
//
// How to write a dialog:
//   class FooDlg : public CModalDlg {           // or CModelessDlg
//   public:
//       FooDlg(HWND* owner) : CModalDlg(L"FooDlg", owner) {}
//   protected:
//       INT_PTR OnInitDialog() override {
//           CenterOnDesktop();
//           m_name = std::make_unique<CQcEdit>(m_hWnd, IDC_FOO_NAME);  // views the control
//           return TRUE;
//       }
//       INT_PTR OnCommand(WPARAM wParam) override {     // the whole wParam
//           if (LOWORD(wParam) == IDC_FOO_APPLY) { ...; return 1; }
//           return CModalDlg::OnCommand(wParam);         // IDOK -> 1, IDCANCEL -> 2
//       }
//       // Messages beyond WM_INITDIALOG, WM_COMMAND and WM_CLOSE: override
//       // DlgProc, handle yours with a typed On... operation of your own and
//       // hand the rest to CModalDlg::DlgProc (0 lets the dialog manager act).
//       INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
//           if (message == WM_APP_FOO) { OnFoo(lParam); return 0; }
//           return CModalDlg::DlgProc(message, wParam, lParam);
//       }
//   private:
//       std::unique_ptr<CQcEdit> m_name;   // made in OnInitDialog
//   };
//   FooDlg dlg(parent.GetHwndPtr());   // owner read when the dialog is made
//   INT_PTR result = dlg.DoModal();    // EndDialog's value; -1 without template
//
// The object must outlive its window: a modal object its DoModal call, a
// modeless object the window it created (its destructor destroys a window
// still open). Worker threads talk to a dialog only through messages posted
// from WM_APP up; every object here belongs to the main thread. Keyboard
// navigation of modeless dialogs works from whatever loop dispatches their
// messages (the library filters the thread's messages while one exists).

#include <windows.h>

class CBaseDlg {
public:
    CBaseDlg(const wchar_t* templateName, HWND* owner);
    CBaseDlg(const CBaseDlg&) = delete;
    CBaseDlg& operator=(const CBaseDlg&) = delete;

    virtual INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual INT_PTR OnInitDialog();
    // Handled: nonzero.
    virtual INT_PTR OnCommand(WPARAM wParam);
    virtual INT_PTR OnClose();
    // Runs in EndDialog before the window ends, whoever ends it.
    virtual void OnEnd();
    virtual ~CBaseDlg();

    void EndDialog(INT_PTR result);
    int CenterOnDesktop();

    // Null until WM_INITDIALOG and again once the window is destroyed.
    HWND GetHwnd() const { return m_hWnd; }
    // For the owner pointer of a dialog that this one owns.
    HWND* GetHwndPtr() { return &m_hWnd; }

protected:
    // WM_INITDIALOG -> OnInitDialog, WM_COMMAND -> OnCommand, WM_CLOSE ->
    // OnClose; everything else 0.
    INT_PTR DefaultDispatch(UINT message, WPARAM wParam, LPARAM lParam);
    HWND OwnerWindow() const;

    HWND m_hWnd = nullptr;
    const wchar_t* m_templateName;
    CBaseDlg* m_next = nullptr;
    HWND* m_owner;

private:
    friend struct CDlgRegistry;
};

// The live dialog objects of one kind, newest first.
struct CDlgRegistry {
    CBaseDlg* head = nullptr;
    void Add(CBaseDlg* dlg);
    void Remove(CBaseDlg* dlg);
    CBaseDlg* Find(HWND window) const;
    // The static dialog procedure's work, with this registry.
    INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class CModalDlg : public CBaseDlg {
public:
    CModalDlg(const wchar_t* templateName, HWND* owner);
    ~CModalDlg() override;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // IDOK: EndDialog(1); IDCANCEL: EndDialog(2).
    INT_PTR OnCommand(WPARAM wParam) override;
    // EndDialog(8).
    INT_PTR OnClose() override;

    // The value given to EndDialog, or -1 when the dialog cannot be made.
    INT_PTR DoModal();

    static CModalDlg* Find(HWND window);
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

class CModelessDlg : public CBaseDlg {
public:
    CModelessDlg(const wchar_t* templateName, HWND* owner);
    // Destroys the window if it is still open: the object made it.
    ~CModelessDlg() override;

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // The window exists when this returns (if its template does); result 0.
    int Create();

    static CModelessDlg* Find(HWND window);
    static INT_PTR CALLBACK StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
