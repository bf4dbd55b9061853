#include "DlgHarness.h"
#include "WndfwTestRes.h"

#include "wndfw/BaseWnd.h"

#include <map>
#include <string>
#include <utility>

using namespace wndfwtest;

namespace {

class CProbeWnd : public CBaseWnd {
public:
    explicit CProbeWnd(const wchar_t* className) { SetWndClassName(className); }

    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE) boundAtCreate = m_hWnd != nullptr;
        return CBaseWnd::WndProc(message, wParam, lParam);
    }
    // lParam 1 is UpdateMenu's question about an item's wanted state.
    UINT OnCommand(WPARAM id, LPARAM lParam) override {
        if (lParam == 1) {
            asked.push_back(static_cast<UINT>(id));
            return wanted[static_cast<UINT>(id)];
        }
        lastCommand = {id, lParam};
        return 0;
    }
    void OnDraw(HDC dc) override { drewWithDc = dc != nullptr; }
    UINT GetClassStyle() override { return CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS; }

    bool boundAtCreate = false, drewWithDc = false;
    std::pair<WPARAM, LPARAM> lastCommand;
    std::vector<UINT> asked;
    std::map<UINT, UINT> wanted;
};

// WM_DESTROY of these windows posts a quit message: its code, or -1 without one.
int TakeQuit() {
    MSG msg;
    int code = -1;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) code = static_cast<int>(msg.wParam);
    return code;
}

class BaseWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitProcess();
        TakeQuit();
    }
};

} // namespace

TEST_F(BaseWndTest, EachWindowKindRegistersItsClassWithPointerSizedExtraBytesAndUnbindsAtDestroy) {
    CRootWnd root(L"QcTestRootClass");
    CProbeWnd probe(L"QcTestProbeClass");
    struct Case {
        const char* name;
        CRootWnd& wnd;
        const wchar_t* className;
        UINT style;
        HGDIOBJ brush;
        HCURSOR cursor;
    } cases[] = {
        {"root window", root, L"QcTestRootClass", CS_HREDRAW | CS_VREDRAW, nullptr, nullptr},
        {"base window", probe, L"QcTestProbeClass", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, ::GetStockObject(WHITE_BRUSH),
         ::LoadCursorW(nullptr, IDC_ARROW)},
    };
    for (const Case& c : cases) {
        c.wnd.SetRegistered(0);
        c.wnd.Create();
        HWND window = c.wnd.GetHwnd();
        ASSERT_NE(nullptr, window) << c.name;
        WNDCLASSW wc = {};
        ASSERT_TRUE(::GetClassInfoW(CApplication::GetInstance(), c.className, &wc)) << c.name;
        EXPECT_EQ(c.style, wc.style) << c.name;
        EXPECT_EQ(static_cast<int>(sizeof(LONG_PTR)), wc.cbWndExtra) << c.name;
        EXPECT_EQ(c.brush, wc.hbrBackground) << c.name;
        EXPECT_EQ(c.cursor, wc.hCursor) << c.name;
        EXPECT_EQ(reinterpret_cast<LONG_PTR>(&c.wnd), ::GetWindowLongPtrW(window, 0)) << c.name;
        EXPECT_TRUE(::IsWindowVisible(window)) << c.name << ": shown with the application's show command";

        ::DestroyWindow(window);
        EXPECT_EQ(0, TakeQuit()) << c.name << ": WM_DESTROY posts the quit message";
        EXPECT_EQ(nullptr, c.wnd.GetHwnd()) << c.name << ": the handle is cleared at WM_NCDESTROY";
    }
    EXPECT_TRUE(probe.boundAtCreate) << "WM_CREATE already has the window";
    CProbeWnd another(L"QcTestProbeClass");
    EXPECT_EQ(0, probe.IsRegistered()) << "every CBaseWnd clears the process-wide flag";

    HINSTANCE self = ::GetModuleHandleW(nullptr);
    CApplication::Init(self, self, L"", SW_SHOWNORMAL);
    CProbeWnd second(L"QcTestNeverRegistered");
    second.Create();
    EXPECT_EQ(nullptr, second.GetHwnd()) << "no class is registered with a previous instance";
}

TEST_F(BaseWndTest, MessagesReachTheHandlersUntilTheObjectGoesAndThenTheDefaultProcedure) {
    auto* probe = new CProbeWnd(L"QcTestProbeClass");
    probe->Create();
    HWND window = probe->GetHwnd();
    ASSERT_NE(nullptr, window);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(40, 2), 0x1234);
    EXPECT_EQ((std::pair<WPARAM, LPARAM>(MAKEWPARAM(40, 2), 0x1234)), probe->lastCommand);
    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
    EXPECT_TRUE(probe->drewWithDc);

    // Right and bottom are edges, not sizes.
    probe->MoveWnd(10, 20, 310, 220);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_TRUE(rect.left == 10 && rect.top == 20 && rect.right == 310 && rect.bottom == 220)
        << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;

    for (const std::wstring& text :
         {std::wstring(), std::wstring(L"Gr\u00f6\u00dfe \u65e5\u672c"), std::wstring(300, L'x')}) {
        probe->SetText(text);
        std::wstring back = L"stale";
        probe->GetText(back);
        EXPECT_EQ(text, back) << text.size() << " characters";
    }

    struct Case {
        UINT id, before, wanted;
    } cases[] = {{10, 0, MF_CHECKED}, {11, MF_CHECKED | MF_GRAYED, 0}, {12, 0, MF_GRAYED}, {13, MF_CHECKED, MF_CHECKED}};
    HMENU menu = ::CreatePopupMenu();
    for (const Case& c : cases) {
        ::AppendMenuW(menu, MF_STRING | c.before, c.id, L"item");
        if (c.id == 11) ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        probe->wanted[c.id] = c.wanted;
    }
    ::AppendMenuW(menu, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(::CreatePopupMenu()), L"submenu");
    ::SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    for (const Case& c : cases)
        EXPECT_EQ(c.wanted, ::GetMenuState(menu, c.id, MF_BYCOMMAND) & (MF_CHECKED | MF_DISABLED | MF_GRAYED))
            << "menu item " << c.id;
    EXPECT_EQ(std::vector<UINT>({10, 11, 12, 13}), probe->asked) << "separators and submenus are not asked";
    EXPECT_TRUE(::GetMenuState(menu, 5, MF_BYPOSITION) & MF_GRAYED) << "the submenu keeps its state";
    ::DestroyMenu(menu);

    delete probe;
    ASSERT_TRUE(::IsWindow(window)) << "the object does not destroy its window";
    EXPECT_EQ(0, ::GetWindowLongPtrW(window, 0));
    ::SendMessageW(window, WM_COMMAND, 40, 0);
    ::DestroyWindow(window);
    EXPECT_EQ(-1, TakeQuit()) << "no object handled WM_DESTROY";
}

TEST_F(BaseWndTest, OnlyTheFocusedControlHasTheFocus) {
    WithDialog([](HWND dialog) {
        CCtrl other(dialog, IDC_T_OTHER);
        other.Focus();
        EXPECT_TRUE(other.HasFocus());
        EXPECT_FALSE(CCtrl(dialog, IDOK).HasFocus());
        ::SetFocus(nullptr);
        EXPECT_FALSE(CCtrl(dialog, IDC_T_MISSING).HasFocus()) << "no control has no focus, even when nothing has";
    });
}
