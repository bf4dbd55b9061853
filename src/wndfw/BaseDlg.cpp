#include "wndfw/BaseDlg.h"

#include "foundation/Application.h"
#include "foundation/Handle.h"

namespace {

CDlgRegistry g_modal;
CDlgRegistry g_modeless;

// A modal loop that is not ours (DialogBoxParamW, MessageBoxW) calls
// IsDialogMessageW for its own dialog only; this hook gives the live modeless
// dialogs their Tab, Enter and Esc from every loop of the thread.
CHook g_modelessKeys;

LRESULT CALLBACK ModelessKeyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->hwnd && msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
            HWND target = nullptr;
            for (HWND w = msg->hwnd; w; w = ::GetParent(w)) {
                if (CModelessDlg::Find(w)) {
                    target = w;
                    break;
                }
                if (!(::GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
            }
            if (target && ::IsDialogMessageW(target, msg)) {
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

void CDlgRegistry::Add(CBaseDlg* dlg) {
    dlg->m_next = head;
    head = dlg;
}

void CDlgRegistry::Remove(CBaseDlg* dlg) {
    for (CBaseDlg** link = &head; *link; link = &(*link)->m_next) {
        if (*link == dlg) {
            *link = dlg->m_next;
            dlg->m_next = nullptr;
            return;
        }
    }
}

CBaseDlg* CDlgRegistry::Find(HWND window) const {
    if (!window) return nullptr;
    for (CBaseDlg* dlg = head; dlg; dlg = dlg->m_next) {
        if (dlg->m_hWnd == window) return dlg;
    }
    return nullptr;
}

INT_PTR CDlgRegistry::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dlg = reinterpret_cast<CBaseDlg*>(lParam);
        if (!dlg) return FALSE;
        dlg->m_hWnd = window;
        dlg->DlgProc(message, wParam, lParam);
        // TRUE whatever the handler said, so the dialog manager sets the focus.
        return TRUE;
    }
    CBaseDlg* dlg = Find(window);
    if (!dlg) return FALSE;
    INT_PTR result = dlg->DlgProc(message, wParam, lParam);
    // A destroyed window's handle may come back for a new window: forget it, so
    // that the object is never found for a window it no longer has.
    if (message == WM_NCDESTROY && Find(window) == dlg) dlg->m_hWnd = nullptr;
    return result;
}

CBaseDlg::CBaseDlg(const wchar_t* templateName, HWND* owner) : m_templateName(templateName), m_owner(owner) {}

CBaseDlg::~CBaseDlg() = default;

INT_PTR CBaseDlg::OnInitDialog() {
    CenterOnDesktop();
    return 0;
}

INT_PTR CBaseDlg::OnCommand(WPARAM) { return 0; }
INT_PTR CBaseDlg::OnClose() { return 0; }
void CBaseDlg::OnEnd() {}

void CBaseDlg::EndDialog(INT_PTR result) {
    OnEnd();
    ::EndDialog(m_hWnd, result);
}

int CBaseDlg::CenterOnDesktop() {
    RECT desktop = {};
    RECT dialog = {};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    ::GetWindowRect(m_hWnd, &dialog);
    int W = desktop.right - desktop.left;
    int H = desktop.bottom - desktop.top;
    int w = dialog.right - dialog.left;
    int h = dialog.bottom - dialog.top;
    ::MoveWindow(m_hWnd, (W - w) / 2, (H - h) / 2, w, h, TRUE);
    return 0;
}

INT_PTR CBaseDlg::DefaultDispatch(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(wParam);
    case WM_CLOSE:
        return OnClose();
    default:
        return 0;
    }
}

HWND CBaseDlg::OwnerWindow() const { return m_owner ? *m_owner : ::GetDesktopWindow(); }

CModalDlg::CModalDlg(const wchar_t* templateName, HWND* owner) : CBaseDlg(templateName, owner) { g_modal.Add(this); }

CModalDlg::~CModalDlg() { g_modal.Remove(this); }

INT_PTR CModalDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultDispatch(message, wParam, lParam);
}

INT_PTR CModalDlg::OnCommand(WPARAM wParam) {
    if (wParam == IDOK) {
        EndDialog(IDOK);
        return 1;
    }
    if (wParam == IDCANCEL) {
        EndDialog(IDCANCEL);
        return 1;
    }
    return 0;
}

INT_PTR CModalDlg::OnClose() {
    EndDialog(8);
    return 1;
}

INT_PTR CModalDlg::DoModal() {
    return ::DialogBoxParamW(CApplication::GetInstance(), m_templateName, OwnerWindow(), &CModalDlg::StaticDlgProc,
                             reinterpret_cast<LPARAM>(this));
}

CModalDlg* CModalDlg::Find(HWND window) { return static_cast<CModalDlg*>(g_modal.Find(window)); }

INT_PTR CALLBACK CModalDlg::StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_modal.Dispatch(window, message, wParam, lParam);
}

CModelessDlg::CModelessDlg(const wchar_t* templateName, HWND* owner) : CBaseDlg(templateName, owner) {
    g_modeless.Add(this);
}

CModelessDlg::~CModelessDlg() {
    g_modeless.Remove(this);
    // Unregistered first: the window's last messages find no half-destroyed object.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    if (!g_modeless.head) g_modelessKeys.Reset();
}

INT_PTR CModelessDlg::DlgProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultDispatch(message, wParam, lParam);
}

int CModelessDlg::Create() {
    if (!g_modelessKeys.IsValid())
        g_modelessKeys.Reset(::SetWindowsHookExW(WH_GETMESSAGE, &ModelessKeyHook, nullptr, ::GetCurrentThreadId()));
    ::CreateDialogParamW(CApplication::GetInstance(), m_templateName, OwnerWindow(), &CModelessDlg::StaticDlgProc,
                         reinterpret_cast<LPARAM>(this));
    return 0;
}

CModelessDlg* CModelessDlg::Find(HWND window) { return static_cast<CModelessDlg*>(g_modeless.Find(window)); }

INT_PTR CALLBACK CModelessDlg::StaticDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_modeless.Dispatch(window, message, wParam, lParam);
}
