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
constexpr UINT kPingMessage = WM_APP + 41;
constexpr INT_PTR kTimedOut = -77;

inline void InitProcess() {
    CApplication::Init(::GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWNORMAL);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
}

// What a dialog object saw of its messages.
struct DlgRecord {
    UINT firstMessage = 0;
    int inits = 0;
    int ends = 0;
    int closes = 0;
    int pings = 0;
    std::vector<WPARAM> commands;
};

template <typename Base>
class CScriptDlgT : public Base {
public:
    using Step = std::function<void(CScriptDlgT&)>;

    CScriptDlgT(const wchar_t* name, HWND* owner, std::vector<Step> steps = {})
        : Base(name, owner), m_steps(std::move(steps)) {}

    INT_PTR DlgProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (!record.firstMessage) record.firstMessage = message;
        switch (message) {
        case WM_INITDIALOG: {
            ++record.inits;
            INT_PTR result = Base::DlgProc(message, wParam, lParam);
            if (!m_steps.empty()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            ::SetTimer(this->m_hWnd, 1, 20000, nullptr);
            return result;
        }
        case kStepMessage:
            if (m_next < m_steps.size()) {
                // The dialog manager shows a modal dialog only once its queue
                // empties; the steps act on it as the user would, shown.
                if (m_next == 0 && showAtFirstStep && !::IsWindowVisible(this->m_hWnd)) ::ShowWindow(this->m_hWnd, SW_SHOW);
                size_t current = m_next++;
                m_steps[current](*this);
                // Posted after the step, behind whatever the step posted.
                if (m_next < m_steps.size()) ::PostMessageW(this->m_hWnd, kStepMessage, 0, 0);
            }
            return 0;
        case kPingMessage:
            ++record.pings;
            return 0;
        case WM_TIMER:
            ADD_FAILURE() << "a test dialog timed out";
            ::KillTimer(this->m_hWnd, 1);
            this->EndDialog(kTimedOut);
            return 0;
        default:
            return Base::DlgProc(message, wParam, lParam);
        }
    }

    INT_PTR OnCommand(WPARAM wParam) override {
        record.commands.push_back(wParam);
        return ignoreCommands ? 0 : Base::OnCommand(wParam);
    }
    INT_PTR OnClose() override {
        ++record.closes;
        return Base::OnClose();
    }
    void OnEnd() override { ++record.ends; }

    DlgRecord record;
    bool ignoreCommands = false;
    bool showAtFirstStep = true;

private:
    std::vector<Step> m_steps;
    size_t m_next = 0;
};

using CScriptDlg = CScriptDlgT<CModalDlg>;
using CScriptModeless = CScriptDlgT<CModelessDlg>;

} // namespace wndfwtest
