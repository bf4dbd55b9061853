#include "DlgHarness.h"
#include "WndfwTestRes.h"

using namespace wndfwtest;

TEST(BaseDlgTest, OnlyOkCancelAndCloseEndAModalDialogEachWithItsResult) {
    constexpr INT_PTR kStillOpen = 99;
    struct Case {
        const char* name;
        bool toOkButton;  // else to the dialog
        UINT message;
        WPARAM wParam;
        bool ignoreCommands;
        INT_PTR result;
        WPARAM command;  // the one OnCommand saw, or 0
    } cases[] = {
        {"Enter on the default button", true, WM_KEYDOWN, VK_RETURN, false, IDOK, IDOK},
        {"Esc", true, WM_KEYDOWN, VK_ESCAPE, false, IDCANCEL, IDCANCEL},
        {"title bar close", false, WM_SYSCOMMAND, SC_CLOSE, false, 8, 0},
        // The whole wParam is compared: OK's id with a notification is no OK.
        {"OK's id with notification 1", false, WM_COMMAND, MAKEWPARAM(IDOK, 1), false, kStillOpen, MAKEWPARAM(IDOK, 1)},
        {"another button", false, WM_COMMAND, IDC_T_OTHER, false, kStillOpen, IDC_T_OTHER},
        {"Esc with the command handler replaced", true, WM_KEYDOWN, VK_ESCAPE, true, kStillOpen, IDCANCEL},
    };
    for (const Case& c : cases) {
        CScriptDlg dlg(L"TESTDLG", nullptr,
                       {[&c](CScriptDlg& d) {
                            d.ignoreCommands = c.ignoreCommands;
                            HWND target = c.toOkButton ? ::GetDlgItem(d.GetHwnd(), IDOK) : d.GetHwnd();
                            ::PostMessageW(target, c.message, c.wParam, 0);
                        },
                        [](CScriptDlg& d) { d.EndDialog(kStillOpen); }});
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_EQ(1, dlg.ends) << c.name << ": OnEnd runs once, whoever ends";
        EXPECT_EQ(c.command ? std::vector<WPARAM>{c.command} : std::vector<WPARAM>{}, dlg.commands) << c.name;
    }
}

TEST(BaseDlgTest, AMissingTemplateGivesMinusOneAndTouchesNothing) {
    CScriptDlg dlg(L"NOSUCHDLG", nullptr);
    EXPECT_EQ(-1, dlg.DoModal());
    EXPECT_EQ(0u, dlg.firstMessage);
    CScriptModeless modeless(L"NOSUCHDLG", nullptr);
    EXPECT_EQ(0, modeless.Create());
    EXPECT_EQ(nullptr, modeless.GetHwnd());
}

TEST(BaseDlgTest, BindingStartsAtInitDialogAndEndsWithTheWindow) {
    HWND seen = nullptr, focus = nullptr, firstTabStop = nullptr;
    RECT rect = {}, desktop = {};
    CScriptDlg dlg(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                       seen = d.GetHwnd();
                       focus = ::GetFocus();
                       firstTabStop = ::GetDlgItem(seen, IDOK);
                       ::GetWindowRect(seen, &rect);
                       EXPECT_EQ(&d, CModalDlg::Find(seen));
                       d.EndDialog(1);
                   }});
    // Hidden still: only the dialog manager's own default focus can be there.
    dlg.showAtFirstStep = false;
    EXPECT_EQ(1, dlg.DoModal());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), dlg.firstMessage) << "no message reached the object before";
    ASSERT_NE(nullptr, seen);
    // OnInitDialog's 0 would leave the focus alone; the framework answers TRUE.
    EXPECT_EQ(firstTabStop, focus);
    EXPECT_FALSE(::IsWindow(seen));
    EXPECT_EQ(nullptr, dlg.GetHwnd()) << "a destroyed window's handle is forgotten at WM_NCDESTROY";
    EXPECT_EQ(nullptr, CModalDlg::Find(seen));

    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    EXPECT_EQ((desktop.right - desktop.left - (rect.right - rect.left)) / 2, rect.left) << "centred on the desktop";
    EXPECT_EQ((desktop.bottom - desktop.top - (rect.bottom - rect.top)) / 2, rect.top) << "centred on the desktop";
}

TEST(BaseDlgTest, NestedModalDialogsAreBothFoundAndTheOwnerIsReadAtCreation) {
    HWND outerHandle = nullptr;
    INT_PTR childResult = 0;
    CScriptDlg* child = nullptr;
    CScriptDlg outer(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                         outerHandle = d.GetHwnd();
                         childResult = child->DoModal();
                         d.EndDialog(1);
                     }});
    // Made before the outer window exists: the owner is read when the child opens.
    CScriptDlg owned(L"TESTDLG", outer.GetHwndPtr(), {[&](CScriptDlg& d) {
                         EXPECT_EQ(outerHandle, ::GetWindow(d.GetHwnd(), GW_OWNER));
                         EXPECT_EQ(&outer, CModalDlg::Find(outerHandle));
                         EXPECT_EQ(&d, CModalDlg::Find(d.GetHwnd()));
                         ::SendMessageW(outerHandle, WM_COMMAND, IDC_T_OTHER, 0);
                         d.EndDialog(3);
                     }});
    child = &owned;
    EXPECT_EQ(1, outer.DoModal());
    EXPECT_EQ(3, childResult);
    EXPECT_EQ(std::vector<WPARAM>{IDC_T_OTHER}, outer.commands) << "the outer dialog is reached while the child runs";
    EXPECT_TRUE(owned.commands.empty());
}

TEST(BaseDlgTest, AModelessDialogLivesUntilItsObjectGoes) {
    auto* dlg = new CScriptModeless(L"MODELESSDLG", nullptr);
    EXPECT_EQ(0, dlg->Create());
    HWND window = dlg->GetHwnd();
    ASSERT_NE(nullptr, window) << "the window exists when Create returns";
    EXPECT_EQ(dlg, CModelessDlg::Find(window));
    EXPECT_EQ(nullptr, CModalDlg::Find(window));
    ::SendMessageW(window, WM_COMMAND, IDOK, 0);
    dlg->EndDialog(4);
    EXPECT_EQ(1, dlg->ends);
    EXPECT_TRUE(::IsWindow(window)) << "neither OK nor EndDialog destroys a modeless window";
    delete dlg;
    EXPECT_FALSE(::IsWindow(window)) << "the object destroys the window it made";
    EXPECT_EQ(nullptr, CModelessDlg::Find(window));
}

TEST(BaseDlgTest, AModelessDialogGetsItsKeysInsideAModalLoop) {
    HWND owner = nullptr;
    CScriptModeless modeless(L"MODELESSDLG", &owner);
    CScriptDlg host(L"TESTDLG", nullptr,
                      {[&](CScriptDlg& d) {
                           owner = d.GetHwnd();
                           modeless.Create();
                           ASSERT_NE(nullptr, modeless.GetHwnd());
                           EXPECT_EQ(d.GetHwnd(), ::GetWindow(modeless.GetHwnd(), GW_OWNER));
                           // Esc and Enter do not depend on where the focus is, which
                           // other programs on the display may take.
                           HWND other = ::GetDlgItem(modeless.GetHwnd(), IDC_T_OTHER);
                           ::PostMessageW(other, WM_KEYDOWN, VK_ESCAPE, 0);
                           ::PostMessageW(other, WM_KEYDOWN, VK_RETURN, 0);
                       },
                       [](CScriptDlg& d) { d.EndDialog(1); }});
    EXPECT_EQ(1, host.DoModal());
    EXPECT_EQ(nullptr, modeless.GetHwnd()) << "it went with its owner";
    EXPECT_EQ(std::vector<WPARAM>({IDCANCEL, IDOK}), modeless.commands)
        << "Esc and Enter reached the modeless dialog as IDCANCEL and its default IDOK";
    EXPECT_TRUE(host.commands.empty()) << "the host saw none of the modeless dialog's keys";
}
