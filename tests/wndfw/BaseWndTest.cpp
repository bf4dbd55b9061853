#include "DlgHarness.h"
#include "WndfwTestRes.h"

#include "support/Computer.h"
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
        if (message == WM_CREATE) {
            sawCreate = true;
            boundAtCreate = m_hWnd != nullptr;
        }
        return CBaseWnd::WndProc(message, wParam, lParam);
    }
    UINT OnCommand(WPARAM id, LPARAM lParam) override {
        if (lParam == 1) {
            asked.push_back(static_cast<UINT>(id));
            return wanted[static_cast<UINT>(id)];
        }
        commands.emplace_back(id, lParam);
        return 0;
    }
    void OnDraw(HDC dc) override {
        ++draws;
        drewWithDc = dc != nullptr;
    }
    UINT GetClassStyle() override { return style; }

    UINT style = CS_HREDRAW | CS_VREDRAW;
    bool sawCreate = false;
    bool boundAtCreate = false;
    int draws = 0;
    bool drewWithDc = false;
    std::vector<UINT> asked;
    std::map<UINT, UINT> wanted;
    std::vector<std::pair<WPARAM, LPARAM>> commands;
};

class BaseWndTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitProcess();
        ClearQuit();
    }
    void TearDown() override {
        InitProcess();
        ClearQuit();
    }
    // WM_DESTROY of these windows posts a quit message; true when one was there.
    static bool ClearQuit(WPARAM* code = nullptr) {
        MSG msg;
        bool found = false;
        while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
            found = true;
            if (code) *code = msg.wParam;
        }
        return found;
    }
};

std::wstring WindowText(HWND window) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(window, buffer, 512);
    return buffer;
}

} // namespace

TEST_F(BaseWndTest, ARootWindowRegistersItsFixedClassAndIsFoundThroughPointerSizedExtraBytes) {
    CRootWnd root(L"QcTestRootClass");
    root.SetRegistered(0);
    root.Create();
    HWND window = root.GetHwnd();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(1, root.IsRegistered());
    WNDCLASSW wc = {};
    ASSERT_TRUE(::GetClassInfoW(CApplication::GetInstance(), L"QcTestRootClass", &wc));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), wc.style);
    EXPECT_EQ(static_cast<int>(sizeof(LONG_PTR)), wc.cbWndExtra);
    EXPECT_EQ(nullptr, wc.hbrBackground);
    EXPECT_EQ(nullptr, wc.hCursor);
    EXPECT_EQ(L"QcTestRootClass", WindowText(window)) << "the class name is the title";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&root), ::GetWindowLongPtrW(window, 0));
    EXPECT_TRUE(::IsWindowVisible(window)) << "Show with the application's show command";

    ::DestroyWindow(window);
    WPARAM code = 99;
    EXPECT_TRUE(ClearQuit(&code)) << "WM_DESTROY posts the quit message";
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, root.GetHwnd());
}

TEST_F(BaseWndTest, ABaseWindowRegistersFromItsGettersAndIsBoundDuringCreate) {
    CProbeWnd probe(L"QcTestProbeClass");
    probe.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    EXPECT_EQ(0, probe.IsRegistered()) << "every CBaseWnd clears the process-wide flag";
    probe.Create();
    HWND window = probe.GetHwnd();
    ASSERT_NE(nullptr, window);
    EXPECT_TRUE(probe.sawCreate);
    EXPECT_TRUE(probe.boundAtCreate) << "WM_CREATE already has the window";
    WNDCLASSW wc = {};
    ASSERT_TRUE(::GetClassInfoW(CApplication::GetInstance(), L"QcTestProbeClass", &wc));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS), wc.style);
    EXPECT_EQ(static_cast<int>(sizeof(LONG_PTR)), wc.cbWndExtra);
    EXPECT_EQ(::GetStockObject(WHITE_BRUSH), wc.hbrBackground);
    EXPECT_EQ(::LoadCursorW(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_EQ(1, probe.IsRegistered());

    CProbeWnd another(L"QcTestProbeClass");
    EXPECT_EQ(0, probe.IsRegistered()) << "the next object clears it again";
    ::DestroyWindow(window);
    EXPECT_TRUE(ClearQuit());
}

TEST_F(BaseWndTest, NoClassIsRegisteredWithAPreviousInstance) {
    CApplication::Init(::GetModuleHandleW(nullptr), reinterpret_cast<HINSTANCE>(::GetModuleHandleW(nullptr)), L"",
                       SW_SHOWNORMAL);
    CProbeWnd probe(L"QcTestNeverRegistered");
    probe.Create();
    EXPECT_EQ(nullptr, probe.GetHwnd()) << "creation fails and leaves the handle null";
    EXPECT_EQ(0, probe.IsRegistered());
    EXPECT_FALSE(probe.sawCreate);
}

TEST_F(BaseWndTest, MessagesReachTheTypedHandlers) {
    CProbeWnd probe(L"QcTestProbeClass");
    probe.Create();
    HWND window = probe.GetHwnd();
    ASSERT_NE(nullptr, window);

    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(40, 2), 0x1234);
    ASSERT_EQ(1u, probe.commands.size());
    EXPECT_EQ(MAKEWPARAM(40, 2), probe.commands[0].first);
    EXPECT_EQ(0x1234, probe.commands[0].second);

    ::InvalidateRect(window, nullptr, TRUE);
    ::UpdateWindow(window);
    EXPECT_GE(probe.draws, 1);
    EXPECT_TRUE(probe.drewWithDc);

    probe.MoveWnd(10, 20, 310, 220);
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(10, rect.left);
    EXPECT_EQ(20, rect.top);
    EXPECT_EQ(300, rect.right - rect.left);
    EXPECT_EQ(200, rect.bottom - rect.top);

    struct Case {
        const char* name;
        std::wstring text;
    } cases[] = {
        {"empty", L""},
        {"one character", L"a"},
        {"non-ASCII", L"Gr\u00f6\u00dfe \u65e5\u672c"},
        {"300 characters", std::wstring(300, L'x')},
    };
    for (const Case& c : cases) {
        probe.SetText(c.text);
        std::wstring back = L"stale";
        probe.GetText(back);
        EXPECT_EQ(c.text, back) << c.name;
    }
    ::DestroyWindow(window);
    EXPECT_TRUE(ClearQuit());
}

TEST_F(BaseWndTest, UpdateMenuAppliesTheWantedStatesToCommandItemsOnly) {
    CProbeWnd probe(L"QcTestProbeClass");
    probe.Create();
    ASSERT_NE(nullptr, probe.GetHwnd());

    HMENU menu = ::CreatePopupMenu();
    HMENU sub = ::CreatePopupMenu();
    ::AppendMenuW(menu, MF_STRING, 10, L"check me");
    ::AppendMenuW(menu, MF_STRING | MF_CHECKED | MF_GRAYED, 11, L"clear me");
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, 12, L"grey me");
    ::AppendMenuW(menu, MF_STRING | MF_CHECKED, 13, L"keep me");
    ::AppendMenuW(menu, MF_POPUP | MF_GRAYED, reinterpret_cast<UINT_PTR>(sub), L"submenu");
    probe.wanted = {{10, MF_CHECKED}, {11, 0}, {12, MF_GRAYED}, {13, MF_CHECKED}};

    ::SendMessageW(probe.GetHwnd(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);

    struct Case {
        UINT id;
        UINT state;
    } cases[] = {{10, MF_CHECKED}, {11, 0}, {12, MF_GRAYED}, {13, MF_CHECKED}};
    for (const Case& c : cases)
        EXPECT_EQ(c.state, ::GetMenuState(menu, c.id, MF_BYCOMMAND) & (MF_CHECKED | MF_DISABLED | MF_GRAYED))
            << "item " << c.id;
    EXPECT_EQ(std::vector<UINT>({10, 11, 12, 13}), probe.asked) << "separators and submenus are not asked";
    EXPECT_TRUE(::GetMenuState(menu, 5, MF_BYPOSITION) & MF_GRAYED) << "the submenu keeps its state";
    EXPECT_TRUE(probe.commands.empty()) << "the question is no command";

    probe.UpdateMenu(nullptr);
    EXPECT_EQ(4u, probe.asked.size());
    ::DestroyMenu(menu);
    ::DestroyWindow(probe.GetHwnd());
    EXPECT_TRUE(ClearQuit());
}

TEST_F(BaseWndTest, AWindowOutlivingItsObjectFallsBackToTheDefaultProcedure) {
    auto* probe = new CProbeWnd(L"QcTestProbeClass");
    probe->Create();
    HWND window = probe->GetHwnd();
    ASSERT_NE(nullptr, window);
    delete probe;
    ASSERT_TRUE(::IsWindow(window)) << "the object does not destroy its window";
    EXPECT_EQ(0, ::GetWindowLongPtrW(window, 0));
    ::SendMessageW(window, WM_COMMAND, 40, 0);
    ::DestroyWindow(window);
    EXPECT_FALSE(ClearQuit()) << "no object handled WM_DESTROY";
}

TEST_F(BaseWndTest, AControlWrapperViewsTheTemplatesControl) {
    CScriptDlg dlg(L"TESTDLG", nullptr, {[](CScriptDlg& d) {
                       HWND dialog = d.GetHwnd();
                       CCtrl other(dialog, IDC_T_OTHER);
                       EXPECT_EQ(::GetDlgItem(dialog, IDC_T_OTHER), other.GetHwnd());
                       EXPECT_EQ(dialog, other.GetParentWnd());
                       EXPECT_EQ(IDC_T_OTHER, other.GetID());
                       other.SetID(77);
                       EXPECT_EQ(77, other.GetID());

                       other.Enable(FALSE);
                       EXPECT_FALSE(other.IsEnabled());
                       EXPECT_FALSE(::IsWindowEnabled(other.GetHwnd()));
                       other.Enable(TRUE);
                       EXPECT_TRUE(other.IsEnabled());

                       other.ShowCtrl(SW_HIDE);
                       EXPECT_FALSE(::IsWindowVisible(other.GetHwnd()));
                       other.ShowCtrl(SW_SHOW);
                       EXPECT_TRUE(::IsWindowVisible(other.GetHwnd()));

                       other.Focus();
                       EXPECT_TRUE(other.HasFocus());
                       CCtrl ok(dialog, IDOK);
                       EXPECT_FALSE(ok.HasFocus());

                       CCtrl missing(dialog, IDC_T_MISSING);
                       EXPECT_EQ(nullptr, missing.GetHwnd());
                       ::SetFocus(nullptr);
                       EXPECT_FALSE(missing.HasFocus()) << "no control has no focus, even when nothing has";
                       EXPECT_FALSE(missing.IsEnabled());
                       d.EndDialog(1);
                   }});
    EXPECT_EQ(1, dlg.DoModal());
}
