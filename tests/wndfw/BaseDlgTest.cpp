#include "DlgHarness.h"
#include "WndfwTestRes.h"

#include "uidriver/UiDriver.h"
#include "support/Computer.h"

#include <string>
#include <thread>

using namespace wndfwtest;

namespace {

class BaseDlgTest : public ::testing::Test {
protected:
    void SetUp() override { InitProcess(); }
};

RECT WindowRect(HWND window) {
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    return rect;
}

} // namespace

TEST_F(BaseDlgTest, EachWayOfEndingGivesItsResultThroughOnEnd) {
    struct Case {
        const char* name;
        std::function<void(CScriptDlg&)> act;
        INT_PTR result;
        int closes;
    } cases[] = {
        {"Enter on the default button",
         [](CScriptDlg& d) { ::PostMessageW(::GetDlgItem(d.GetHwnd(), IDOK), WM_KEYDOWN, VK_RETURN, 0); }, IDOK, 0},
        {"Esc", [](CScriptDlg& d) { ::PostMessageW(::GetDlgItem(d.GetHwnd(), IDOK), WM_KEYDOWN, VK_ESCAPE, 0); },
         IDCANCEL, 0},
        {"title bar close", [](CScriptDlg& d) { ::PostMessageW(d.GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }, 8, 1},
        {"EndDialog from code", [](CScriptDlg& d) { d.EndDialog(5); }, 5, 0},
    };
    for (const Case& c : cases) {
        CScriptDlg dlg(L"TESTDLG", nullptr, {c.act, [](CScriptDlg& d) { d.EndDialog(kTimedOut); }});
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_EQ(1, dlg.record.inits) << c.name;
        EXPECT_EQ(1, dlg.record.ends) << c.name;
        EXPECT_EQ(c.closes, dlg.record.closes) << c.name;
    }
}

TEST_F(BaseDlgTest, CommandsOtherThanOkAndCancelAndReplacedHandlersDoNotEnd) {
    CScriptDlg dlg(L"TESTDLG", nullptr,
                   {[](CScriptDlg& d) {
                        // The whole wParam is compared: OK's id with a notification is no OK.
                        ::SendMessageW(d.GetHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, 1), 0);
                        ::SendMessageW(d.GetHwnd(), WM_COMMAND, IDC_T_OTHER, 0);
                        d.ignoreCommands = true;
                        ::PostMessageW(::GetDlgItem(d.GetHwnd(), IDOK), WM_KEYDOWN, VK_ESCAPE, 0);
                    },
                    [](CScriptDlg& d) { d.EndDialog(7); }});
    EXPECT_EQ(7, dlg.DoModal());
    std::vector<WPARAM> expected = {MAKEWPARAM(IDOK, 1), IDC_T_OTHER, IDCANCEL};
    EXPECT_EQ(expected, dlg.record.commands);
    EXPECT_EQ(1, dlg.record.ends);
}

TEST_F(BaseDlgTest, AMissingTemplateGivesMinusOneAndTouchesNothing) {
    CScriptDlg dlg(L"NOSUCHDLG", nullptr, {[](CScriptDlg& d) { d.EndDialog(1); }});
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(0, dlg.record.inits);
    EXPECT_EQ(nullptr, dlg.GetHwnd());

    CScriptModeless modeless(L"NOSUCHDLG", nullptr);
    EXPECT_EQ(0, modeless.Create());
    EXPECT_EQ(nullptr, modeless.GetHwnd());
    EXPECT_EQ(0, modeless.record.inits);
}

TEST_F(BaseDlgTest, BindingStartsAtInitDialogAndEndsWithTheWindow) {
    HWND seen = nullptr;
    HWND focus = nullptr;
    HWND firstTabStop = nullptr;
    CScriptDlg dlg(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                       seen = d.GetHwnd();
                       focus = ::GetFocus();
                       firstTabStop = ::GetDlgItem(seen, IDOK);
                       EXPECT_EQ(&d, CModalDlg::Find(seen));
                       EXPECT_EQ(nullptr, CModelessDlg::Find(seen));
                       d.EndDialog(1);
                   }});
    // Hidden still: only the dialog manager's own default focus can be there.
    dlg.showAtFirstStep = false;
    EXPECT_EQ(nullptr, dlg.GetHwnd());
    EXPECT_EQ(1, dlg.DoModal());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), dlg.record.firstMessage) << "no message reached the object before";
    ASSERT_NE(nullptr, seen);
    // OnInitDialog's 0 would leave the focus alone; the framework answers TRUE.
    EXPECT_EQ(firstTabStop, focus);
    EXPECT_FALSE(::IsWindow(seen));
    EXPECT_EQ(nullptr, dlg.GetHwnd()) << "a destroyed window's handle is forgotten";
    EXPECT_EQ(nullptr, CModalDlg::Find(seen));
}

TEST_F(BaseDlgTest, NestedModalDialogsAreBothFoundAndTheOwnerIsReadAtCreation) {
    HWND outerHandle = nullptr;
    INT_PTR childResult = 0;
    CScriptDlg* child = nullptr;
    CScriptDlg outer(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                         outerHandle = d.GetHwnd();
                         childResult = child->DoModal();
                         EXPECT_TRUE(::IsWindowEnabled(outerHandle));
                         d.EndDialog(1);
                     }});
    // Made before the outer window exists: the owner is read when the child opens.
    CScriptDlg owned(L"TESTDLG", outer.GetHwndPtr(), {[&](CScriptDlg& d) {
                         HWND me = d.GetHwnd();
                         EXPECT_EQ(outerHandle, ::GetWindow(me, GW_OWNER));
                         EXPECT_FALSE(::IsWindowEnabled(outerHandle)) << "the owner waits for its modal child";
                         EXPECT_EQ(&outer, CModalDlg::Find(outerHandle));
                         EXPECT_EQ(&d, CModalDlg::Find(me));
                         ::SendMessageW(outerHandle, kPingMessage, 0, 0);
                         d.EndDialog(3);
                     }});
    child = &owned;
    EXPECT_EQ(1, outer.DoModal());
    EXPECT_EQ(3, childResult);
    EXPECT_EQ(1, outer.record.pings) << "a message to the outer dialog reaches it while the child runs";
    EXPECT_EQ(0, owned.record.pings);
}

TEST_F(BaseDlgTest, CenterOnDesktopUsesHalfTheDifferenceEvenWhenNegative) {
    RECT desktop = WindowRect(::GetDesktopWindow());
    const int W = desktop.right - desktop.left, H = desktop.bottom - desktop.top;
    struct Case {
        const wchar_t* name;
        bool larger;
    } cases[] = {{L"TESTDLG", false}, {L"BIGDLG", true}};
    for (const Case& c : cases) {
        RECT rect = {};
        CScriptDlg dlg(c.name, nullptr, {[&](CScriptDlg& d) {
                           rect = WindowRect(d.GetHwnd());
                           d.EndDialog(1);
                       }});
        ASSERT_EQ(1, dlg.DoModal());
        const int w = rect.right - rect.left, h = rect.bottom - rect.top;
        EXPECT_EQ((W - w) / 2, rect.left) << qctest::Narrow(c.name);
        EXPECT_EQ((H - h) / 2, rect.top) << qctest::Narrow(c.name);
        EXPECT_EQ(c.larger, rect.left < 0 && rect.top < 0) << qctest::Narrow(c.name);
    }
}

TEST_F(BaseDlgTest, ADriverOnAnotherThreadClicksTheRealButtons) {
    CScriptDlg dlg(L"TESTDLG", nullptr);
    bool clicked = false;
    std::thread driver([&] {
        uidrv::WindowQuery query;
        query.caption = L"Wndfw test dialog";
        query.processId = ::GetCurrentProcessId();
        HWND window = uidrv::WaitForWindow(query, 10000);
        if (!window) return;
        clicked = uidrv::ClickButton(window, IDC_T_OTHER) && uidrv::ClickButton(window, IDOK);
    });
    INT_PTR result = dlg.DoModal();
    driver.join();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(IDOK, result);
    std::vector<WPARAM> expected = {MAKEWPARAM(IDC_T_OTHER, BN_CLICKED), MAKEWPARAM(IDOK, BN_CLICKED)};
    EXPECT_EQ(expected, dlg.record.commands);
}

TEST_F(BaseDlgTest, AModelessDialogLivesUntilItsObjectGoes) {
    auto* dlg = new CScriptModeless(L"MODELESSDLG", nullptr);
    EXPECT_EQ(0, dlg->Create());
    HWND window = dlg->GetHwnd();
    ASSERT_NE(nullptr, window) << "the window exists when Create returns";
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_EQ(dlg, CModelessDlg::Find(window));
    EXPECT_EQ(nullptr, CModalDlg::Find(window));

    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(::IsWindow(window)) << "the modeless default does not end on OK";
    dlg->EndDialog(4);
    EXPECT_EQ(1, dlg->record.ends);
    EXPECT_TRUE(::IsWindow(window)) << "EndDialog leaves a modeless window to its object";

    delete dlg;
    EXPECT_FALSE(::IsWindow(window)) << "the object destroys the window it made";
    EXPECT_EQ(nullptr, CModelessDlg::Find(window));
}

TEST_F(BaseDlgTest, AModelessDialogGetsItsKeysInsideAModalLoop) {
    CScriptModeless* modeless = nullptr;
    HWND other = nullptr;
    std::vector<WPARAM> modelessCommands;
    CScriptDlg host(L"TESTDLG", nullptr,
                    {[&](CScriptDlg& d) {
                         modeless = new CScriptModeless(L"MODELESSDLG", d.GetHwndPtr());
                         modeless->Create();
                         ASSERT_NE(nullptr, modeless->GetHwnd());
                         EXPECT_EQ(d.GetHwnd(), ::GetWindow(modeless->GetHwnd(), GW_OWNER));
                         other = ::GetDlgItem(modeless->GetHwnd(), IDC_T_OTHER);
                         // Esc and Enter do not depend on where the focus is, which
                         // other programs on the display may take.
                         ::PostMessageW(other, WM_KEYDOWN, VK_ESCAPE, 0);
                         ::PostMessageW(other, WM_KEYDOWN, VK_RETURN, 0);
                     },
                     [&](CScriptDlg& d) {
                         modelessCommands = modeless->record.commands;
                         delete modeless;
                         modeless = nullptr;
                         d.EndDialog(1);
                     }});
    EXPECT_EQ(1, host.DoModal());
    delete modeless;
    std::vector<WPARAM> expected = {IDCANCEL, IDOK};
    EXPECT_EQ(expected, modelessCommands) << "Esc and Enter reached the modeless dialog as IDCANCEL and its default IDOK";
    EXPECT_EQ(0u, host.record.commands.size()) << "the host saw none of the modeless dialog's keys";
}
