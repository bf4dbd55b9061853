#pragma once
// Real dialogs driven from inside their own modal loop: each step runs on its
// own posted message, so whatever a step posts (keys, commands) is handled by
// the loop before the next step runs. A timer ends a stuck dialog.

#include "foundation/Application.h"
#include "wndfw/BaseDlg.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace wndfwtest {

constexpr UINT kStepMessage = WM_APP + 40;
constexpr INT_PTR kTimedOut = -77;

inline void InitProcess() {
    CApplication::Init(::GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWNORMAL);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

template <typename Base>
class CScriptDlgT : public Base {
public:
    using Step = std::function<void(CScriptDlgT&)>;

    CScriptDlgT(const wchar_t* name, HWND* owner, std::vector<Step> steps = {})
        : Base(name, owner), m_steps(std::move(steps)) {
        InitProcess();
    }

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (!firstMessage) firstMessage = message;
        if (message == WM_INITDIALOG) {
            INT_PTR result = Base::DlgProc(message, wParam, lParam);
            if (!m_steps.empty()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            ::SetTimer(this->m_hWnd, 1, 20000, nullptr);
            return result;
        }
        if (message == kStepMessage && m_next < m_steps.size()) {
            // The dialog manager shows a modal dialog only once its queue
            // empties; the steps act on it as the user would, shown.
            if (m_next == 0 && showAtFirstStep) ::ShowWindow(this->m_hWnd, SW_SHOW);
            m_steps[m_next++](*this);
            // Posted after the step, behind whatever the step posted.
            if (m_next < m_steps.size()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            return 0;
        }
        if (message == WM_TIMER) {
            ADD_FAILURE() << "a test dialog timed out";
            ::KillTimer(this->m_hWnd, 1);
            this->EndDialog(kTimedOut);
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
    bool showAtFirstStep = true;

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
};

using CScriptDlg = CScriptDlgT<CModalDlg>;
using CScriptModeless = CScriptDlgT<CModelessDlg>;

// Runs body on a live TESTDLG inside its modal loop.
inline void WithDialog(const std::function<void(HWND)>& body) {
    CScriptDlg dlg(L"TESTDLG", nullptr, {[&](CScriptDlg& d) {
                       body(d.GetHwnd());
                       d.EndDialog(1);
                   }});
    ASSERT_EQ(1, dlg.DoModal());
}

} // namespace wndfwtest
