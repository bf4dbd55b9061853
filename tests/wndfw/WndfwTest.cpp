// The window framework on real dialogs from the templates of WndfwTest.rc,
// driven from inside their own modal loop: each step runs on its own posted
// message, so whatever a step posts (keys, commands) is handled by the loop
// before the next step runs. A timer ends a stuck dialog.

#include "WndfwTestRes.h"
#include "foundation/Application.h"
#include "foundation/Handle.h"
#include "wndfw/BaseDlg.h"
#include "wndfw/Controls.h"

#include <gtest/gtest.h>
#include <functional>
#include <vector>

namespace {

constexpr UINT kStepMessage = WM_APP + 40;

template <typename Base>
class CScriptDlgT : public Base {
public:
    using Step = std::function<void(CScriptDlgT&)>;
    CScriptDlgT(const wchar_t* name, HWND* owner, std::vector<Step> steps = {}) : Base(name, owner), m_steps(std::move(steps)) {
        CApplication::Init(::GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWNORMAL);
    }
    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (!firstMessage) firstMessage = message;
        if (message == WM_INITDIALOG) {
            ::SetTimer(this->m_hWnd, 1, 20000, nullptr);
            if (!m_steps.empty()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
        } else if (message == kStepMessage && m_next < m_steps.size()) {
            m_steps[m_next++](*this);
            // Posted after the step, behind whatever the step posted.
            if (m_next < m_steps.size()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            return 0;
        } else if (message == WM_TIMER) {
            ADD_FAILURE() << "a test dialog timed out";
            ::KillTimer(this->m_hWnd, 1);
            this->EndDialog(-77);
            return 0;
        }
        return Base::DlgProc(message, wParam, lParam);
    }
    INT_PTR OnCommand(WPARAM wParam) override {
        commands.push_back(wParam);
        return ignoreCommands ? 0 : Base::OnCommand(wParam);
    }
    void OnEnd() override { ++ends; }

    UINT firstMessage = 0;
    int ends = 0;
    std::vector<WPARAM> commands;
    bool ignoreCommands = false;

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
};
using CScriptDlg = CScriptDlgT<CModalDlg>;
using CScriptModeless = CScriptDlgT<CModelessDlg>;

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
        CScriptDlg dlg(L"TESTDLG", nullptr, {[&c](CScriptDlg& d) {
                                                 d.ignoreCommands = c.ignoreCommands;
                                                 HWND target = c.toOkButton ? ::GetDlgItem(d.GetHwnd(), IDOK) : d.GetHwnd();
                                                 ::PostMessageW(target, c.message, c.wParam, 0);
                                             },
                                             [](CScriptDlg& d) { d.EndDialog(kStillOpen); }});
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_EQ(1, dlg.ends) << c.name << ": OnEnd runs once, whoever ends";
        EXPECT_EQ(c.command ? std::vector<WPARAM>{c.command} : std::vector<WPARAM>{}, dlg.commands) << c.name;
    }
    CScriptDlg missing(L"NOSUCHDLG", nullptr);
    EXPECT_EQ(-1, missing.DoModal());
    EXPECT_EQ(0u, missing.firstMessage) << "a missing template touches nothing";
}

// The version dialog's case: a modeless dialog inside the status window's modal loop.
TEST(BaseDlgTest, AModelessDialogGetsItsKeysInsideAModalLoopAndLivesUntilItsObjectGoes) {
    HWND owner = nullptr, window = nullptr;
    auto* modeless = new CScriptModeless(L"MODELESSDLG", &owner);
    CScriptDlg host(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                                              owner = d.GetHwnd();
                                              EXPECT_EQ(0, modeless->Create());
                                              ASSERT_NE(nullptr, window = modeless->GetHwnd());
                                              EXPECT_EQ(modeless, CModelessDlg::Find(window));
                                              EXPECT_EQ(owner, ::GetWindow(window, GW_OWNER));
                                              // Esc and Enter do not depend on the focus, which other programs may take.
                                              ::PostMessageW(::GetDlgItem(window, IDC_T_OTHER), WM_KEYDOWN, VK_ESCAPE, 0);
                                              ::PostMessageW(::GetDlgItem(window, IDC_T_OTHER), WM_KEYDOWN, VK_RETURN, 0);
                                          },
                                          [&](CScriptDlg&) {
                                              EXPECT_EQ(std::vector<WPARAM>({IDCANCEL, IDOK}), modeless->commands)
                                                  << "Esc and Enter reached the modeless dialog as IDCANCEL and its default IDOK";
                                              modeless->EndDialog(4);
                                              EXPECT_EQ(1, modeless->ends);
                                              EXPECT_TRUE(::IsWindow(window)) << "neither OK nor EndDialog destroys a modeless window";
                                              delete modeless;
                                              EXPECT_FALSE(::IsWindow(window)) << "the object destroys the window it made";
                                          },
                                          [](CScriptDlg& d) { d.EndDialog(1); }});
    ASSERT_EQ(1, host.DoModal());
    EXPECT_EQ(nullptr, CModelessDlg::Find(window));
    EXPECT_TRUE(host.commands.empty()) << "the host saw none of the modeless dialog's keys";
}

// The width of a text in the list box's own font, as the control draws it.
int TextWidth(HWND list, const std::wstring& text) {
    CWindowDc dc(list);
    CSelection font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The folder list of the settings: long paths scroll sideways as far as the
// widest needs. The same dialog shows how the framework binds and unbinds.
TEST(ControlsTest, ListBoxScrollRangeFollowsTheWidestItemInADialogBoundFromInitDialogCentredAndFocused) {
    HWND seen = nullptr, focus = nullptr;
    RECT rect = {}, desktop = {};
    CScriptDlg dlg(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                       seen = d.GetHwnd(), focus = ::GetFocus(), ::GetWindowRect(seen, &rect);
                       EXPECT_EQ(&d, CModalDlg::Find(seen));
                       EXPECT_EQ(::GetDlgItem(seen, IDOK), focus) << "the framework answers WM_INITDIALOG with TRUE";
                       CListBox list(seen, IDC_T_LIST);
                       HWND h = list.GetHwnd();
                       const std::wstring narrow = L"C:\\a", medium = L"C:\\Users\\someone\\Music",
                                          wide = L"D:\\A much longer folder path\\with several levels\\of albums", longest(1500, L'x');
                       struct Step {
                           const char* name;
                           const std::wstring* added;  // or null: delete the item at index
                           int index, result;
                           std::wstring widest;
                       } steps[] = {
                           {"first item", &medium, 0, 0, medium},          {"narrower item", &narrow, 0, 1, medium},
                           {"wider item", &wide, 0, 2, wide},              {"delete a narrower item", nullptr, 1, 2, wide},
                           {"delete a missing item", nullptr, 7, LB_ERR, wide}, {"delete the widest item", nullptr, 1, 1, medium},
                           {"delete the last item", nullptr, 0, 0, L""},   {"add to the emptied list", &narrow, 0, 0, narrow},
                           {"an item beyond 1023 characters", &longest, 0, 1, longest},
                       };
                       for (const Step& s : steps) {
                           EXPECT_EQ(s.result, s.added ? list.AddString(s.added->c_str()) : list.DeleteString(s.index)) << s.name;
                           EXPECT_EQ(TextWidth(h, s.widest) + 10, ::SendMessageW(h, LB_GETHORIZONTALEXTENT, 0, 0)) << s.name;
                       }
                       EXPECT_EQ(longest, list.GetItemString(1)) << "a long item is read whole";
                       EXPECT_EQ(1, list.FindString(longest.c_str(), TRUE));
                       d.EndDialog(1);
                   }});
    EXPECT_EQ(1, dlg.DoModal());
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), dlg.firstMessage) << "no message reached the object before";
    EXPECT_TRUE(seen && !::IsWindow(seen) && !dlg.GetHwnd() && !CModalDlg::Find(seen)) << "forgotten at WM_NCDESTROY";
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    EXPECT_EQ((desktop.right - (rect.right - rect.left)) / 2, rect.left);
    EXPECT_EQ((desktop.bottom - (rect.bottom - rect.top)) / 2, rect.top);
}

} // namespace
