// The window framework on real dialogs from the templates of WndfwTest.rc,
// driven from inside their own modal loop: each step runs on its own posted
// message, so whatever a step posts (keys, commands) is handled by the loop
// before the next step runs.

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
        if (message == WM_INITDIALOG) {
            if (!m_steps.empty()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
        } else if (message == kStepMessage && m_next < m_steps.size()) {
            m_steps[m_next++](*this);
            // Posted after the step, behind whatever the step posted.
            if (m_next < m_steps.size()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            return 0;
        }
        return Base::DlgProc(message, wParam, lParam);
    }
    INT_PTR OnCommand(WPARAM wParam) override {
        commands.push_back(wParam);
        return ignoreCommands ? 0 : Base::OnCommand(wParam);
    }
    void OnEnd() override { ++ends; }

    int ends = 0;
    std::vector<WPARAM> commands;
    bool ignoreCommands = false;

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
};
using CScriptDlg = CScriptDlgT<CModalDlg>;
using CScriptModeless = CScriptDlgT<CModelessDlg>;

// OK and Cancel end the program's own dialogs in their flows; here the
// branches those flows do not take.
TEST(BaseDlgTest, OnlyOkCancelAndCloseEndAModalDialogEachWithItsResult) {
    constexpr INT_PTR kStillOpen = 99;
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool ignoreCommands;
        INT_PTR result;
        WPARAM command;  // the one OnCommand saw, or 0
    } cases[] = {
        {"title bar close", WM_SYSCOMMAND, SC_CLOSE, false, 8, 0},
        // The whole wParam is compared: OK's id with a notification is no OK.
        {"OK's id with notification 1", WM_COMMAND, MAKEWPARAM(IDOK, 1), false, kStillOpen, MAKEWPARAM(IDOK, 1)},
        {"Cancel with the command handler replaced", WM_COMMAND, IDCANCEL, true, kStillOpen, IDCANCEL},
    };
    for (const Case& c : cases) {
        auto post = [&c](CScriptDlg& d) {
            d.ignoreCommands = c.ignoreCommands;
            ::PostMessageW(d.GetHwnd(), c.message, c.wParam, 0);
        };
        CScriptDlg dlg(L"TESTDLG", nullptr, {post, [](CScriptDlg& d) { d.EndDialog(kStillOpen); }});
        EXPECT_EQ(c.result, dlg.DoModal()) << c.name;
        EXPECT_EQ(1, dlg.ends) << c.name << ": OnEnd runs once, whoever ends";
        EXPECT_EQ(c.command ? std::vector<WPARAM>{c.command} : std::vector<WPARAM>{}, dlg.commands) << c.name;
    }
}

// The width of a text in the list box's own font, as the control draws it.
int TextWidth(HWND list, const std::wstring& text) {
    CWindowDc dc(list);
    CSelection font(dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    SIZE size = {};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// A dialog bound from WM_INITDIALOG, centred and focused; in it the folder list
// of the settings, whose long paths scroll sideways as far as the widest needs,
// and the version dialog's case: a modeless dialog inside a modal loop gets its
// keys, and lives until its object goes.
TEST(BaseDlgTest, ADialogIsBoundItsListScrollsToTheWidestAndAModelessDialogInItGetsItsKeys) {
    HWND seen = nullptr, window = nullptr;
    RECT rect = {};
    auto* modeless = new CScriptModeless(L"MODELESSDLG", &seen);
    auto fill = [&](CScriptDlg& d) {
        seen = d.GetHwnd();
        ::GetWindowRect(seen, &rect);
        EXPECT_EQ(::GetDlgItem(seen, IDOK), ::GetFocus()) << "the framework answers WM_INITDIALOG with TRUE";
        CListBox list(seen, IDC_T_LIST);
        const std::wstring narrow = L"C:\\a", medium = L"C:\\Users\\someone\\Music", longest(1500, L'x');
        const std::wstring wide = L"D:\\A much longer folder path\\with several levels\\of albums";
        struct Step {
            const char* name;
            const std::wstring* added;  // or null: delete the item at index
            int index, result;
            std::wstring widest;
        } steps[] = {
            {"first item", &medium, 0, 0, medium},
            {"narrower item", &narrow, 0, 1, medium},
            {"wider item", &wide, 0, 2, wide},
            {"delete the widest item", nullptr, 2, 2, medium},
            {"an item beyond 1023 characters", &longest, 0, 2, longest},
        };
        for (const Step& s : steps) {
            EXPECT_EQ(s.result, s.added ? list.AddString(s.added->c_str()) : list.DeleteString(s.index)) << s.name;
            LRESULT extent = ::SendMessageW(list.GetHwnd(), LB_GETHORIZONTALEXTENT, 0, 0);
            EXPECT_EQ(TextWidth(list.GetHwnd(), s.widest) + 10, extent) << s.name;
        }
        EXPECT_EQ(longest, list.GetItemString(2)) << "a long item is read whole";
        modeless->Create();
        window = modeless->GetHwnd();
        // Esc and Enter do not depend on the focus, which other programs may take.
        ::PostMessageW(::GetDlgItem(window, IDC_T_OTHER), WM_KEYDOWN, VK_ESCAPE, 0);
        ::PostMessageW(::GetDlgItem(window, IDC_T_OTHER), WM_KEYDOWN, VK_RETURN, 0);
    };
    auto check = [&](CScriptDlg& d) {
        EXPECT_EQ(std::vector<WPARAM>({IDCANCEL, IDOK}), modeless->commands)
            << "Esc and Enter reached the modeless dialog as IDCANCEL and its default IDOK";
        delete modeless;
        EXPECT_FALSE(::IsWindow(window)) << "the object destroys the window it made";
        d.EndDialog(1);
    };
    CScriptDlg dlg(L"TESTDLG", nullptr, {fill, check});
    EXPECT_EQ(1, dlg.DoModal());
    EXPECT_TRUE(seen && !::IsWindow(seen) && !dlg.GetHwnd() && !CModalDlg::Find(seen)) << "forgotten at WM_NCDESTROY";
    EXPECT_TRUE(window && !CModelessDlg::Find(window)) << "forgotten with its object";
    EXPECT_EQ((::GetSystemMetrics(SM_CXSCREEN) - (rect.right - rect.left)) / 2, rect.left);
    EXPECT_EQ((::GetSystemMetrics(SM_CYSCREEN) - (rect.bottom - rect.top)) / 2, rect.top);
}

} // namespace
