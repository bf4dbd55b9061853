#include "wndfw/BaseWnd.h"

#include "foundation/Application.h"
#include "foundation/Handle.h"

#include <vector>

namespace {

// Process-wide: one flag for every class, so each CBaseWnd made resets it and
// its Create registers afresh (a second registration of a name just fails).
int g_classRegistered = 0;

constexpr UINT kMenuStateMask = MF_CHECKED | MF_DISABLED | MF_GRAYED;

} // namespace

CRootWnd::CRootWnd(const wchar_t* className) : m_className(className) {}

CRootWnd::~CRootWnd() {
    if (m_bound && ::IsWindow(m_hWnd)) ::SetWindowLongPtrW(m_hWnd, 0, 0);
}

void CRootWnd::Register() {
    if (CApplication::GetPrevInstance() != nullptr || IsRegistered() != 0) return;
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &CRootWnd::StaticWndProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = CApplication::GetInstance();
    wc.lpszClassName = m_className;
    ::RegisterClassW(&wc);
    g_classRegistered = 1;
}

void CRootWnd::Create() {
    Register();
    m_hWnd = ::CreateWindowExW(0, m_className, m_className, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0,
                               nullptr, nullptr, CApplication::GetInstance(), this);
    Show();
}

void CRootWnd::Show() {
    ::ShowWindow(m_hWnd, CApplication::GetShowCommand());
    ::UpdateWindow(m_hWnd);
}

int CRootWnd::IsRegistered() { return g_classRegistered; }

void CRootWnd::SetRegistered(int flag) { g_classRegistered = flag; }

LRESULT CRootWnd::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        return 0;
    default:
        return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}

void CRootWnd::MoveWnd(short left, short top, short right, short bottom) {
    ::MoveWindow(m_hWnd, left, top, right - left, bottom - top, TRUE);
}

LRESULT CALLBACK CRootWnd::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CRootWnd*>(::GetWindowLongPtrW(window, 0));
    if (!self) {
        if (message != WM_CREATE) return ::DefWindowProcW(window, message, wParam, lParam);
        self = static_cast<CRootWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
        ::SetWindowLongPtrW(window, 0, reinterpret_cast<LONG_PTR>(self));
        // Bound now rather than when CreateWindowExW returns, so that WM_CREATE
        // and the messages after it reach the default procedure with a window.
        self->m_hWnd = window;
        self->m_bound = true;
    }
    LRESULT result = self->WndProc(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, 0, 0);
        self->m_hWnd = nullptr;
        self->m_bound = false;
    }
    return result;
}

CBaseWnd::CBaseWnd() : CRootWnd(L"FBaseWndClass") { g_classRegistered = 0; }

void CBaseWnd::Register() {
    if (CApplication::GetPrevInstance() != nullptr || IsRegistered() != 0) return;
    WNDCLASSW wc = {};
    wc.style = GetClassStyle();
    wc.lpfnWndProc = GetWndProc();
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = CApplication::GetInstance();
    wc.hIcon = GetClassIcon();
    wc.hCursor = GetClassCursor();
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszMenuName = GetClassMenuName();
    wc.lpszClassName = GetWndClassName();
    ::RegisterClassW(&wc);
    SetRegistered(1);
}

LRESULT CBaseWnd::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        CPaintDc paint(m_hWnd);
        if (paint.Get()) OnPaint(paint.Paint());
        return 0;
    }
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    default:
        return CRootWnd::WndProc(message, wParam, lParam);
    }
}

void CBaseWnd::UpdateMenu(HMENU menu) {
    if (!menu) return;
    int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        UINT id = ::GetMenuItemID(menu, i);
        // Separators (0) and submenus (-1) are no commands to ask about.
        if (id == 0 || id == static_cast<UINT>(-1)) continue;
        UINT wanted = OnCommand(id, 1) & kMenuStateMask;
        UINT current = ::GetMenuState(menu, id, MF_BYCOMMAND) & kMenuStateMask;
        if ((wanted ^ current) & MF_CHECKED) ::CheckMenuItem(menu, id, MF_BYCOMMAND | (wanted & MF_CHECKED));
        if ((wanted ^ current) & (MF_DISABLED | MF_GRAYED))
            ::EnableMenuItem(menu, id, MF_BYCOMMAND | (wanted & (MF_DISABLED | MF_GRAYED)));
    }
}

const wchar_t* CBaseWnd::GetWndClassName() { return m_className; }
void CBaseWnd::SetWndClassName(const wchar_t* name) { m_className = name; }
WNDPROC CBaseWnd::GetWndProc() { return &CRootWnd::StaticWndProc; }
UINT CBaseWnd::GetClassStyle() { return CS_HREDRAW | CS_VREDRAW; }
HCURSOR CBaseWnd::GetClassCursor() { return ::LoadCursorW(nullptr, IDC_ARROW); }
HICON CBaseWnd::GetClassIcon() { return ::LoadIconW(nullptr, IDI_APPLICATION); }
const wchar_t* CBaseWnd::GetClassMenuName() { return nullptr; }
const wchar_t* CBaseWnd::GetWindowTitle() { return L"CBaseWnd"; }
DWORD CBaseWnd::GetWindowStyle() { return WS_OVERLAPPEDWINDOW; }
int CBaseWnd::GetInitX() { return CW_USEDEFAULT; }
int CBaseWnd::GetInitY() { return 0; }
int CBaseWnd::GetInitWidth() { return CW_USEDEFAULT; }
int CBaseWnd::GetInitHeight() { return 0; }
HWND CBaseWnd::GetParentWnd() { return nullptr; }
void CBaseWnd::Hook() {}
void CBaseWnd::OnDraw(HDC) {}
void CBaseWnd::OnPaint(PAINTSTRUCT* paint) { OnDraw(paint->hdc); }
UINT CBaseWnd::OnCommand(WPARAM, LPARAM) { return 0; }

void CBaseWnd::SetText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }

void CBaseWnd::SetText(const std::wstring& text) { ::SetWindowTextW(m_hWnd, text.c_str()); }

void CBaseWnd::GetText(std::wstring& text) {
    int length = ::GetWindowTextLengthW(m_hWnd);
    if (length <= 0) {
        text.clear();
        return;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    int read = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
    text.assign(buffer.data(), read > 0 ? static_cast<size_t>(read) : 0);
}

CCtrl::CCtrl(HWND parent, int id) : m_parent(parent), m_id(id) { m_hWnd = ::GetDlgItem(parent, id); }

HWND CCtrl::GetParentWnd() { return m_parent; }
void CCtrl::SetID(int id) { m_id = id; }
int CCtrl::GetID() { return m_id; }
void CCtrl::Enable(BOOL enable) { ::EnableWindow(m_hWnd, enable); }
void CCtrl::ShowCtrl(int showCommand) { ::ShowWindow(m_hWnd, showCommand); }
BOOL CCtrl::IsEnabled() { return ::IsWindowEnabled(m_hWnd); }
void CCtrl::Focus() { ::SetFocus(m_hWnd); }
BOOL CCtrl::HasFocus() { return ::IsWindow(m_hWnd) && ::GetFocus() == m_hWnd; }
