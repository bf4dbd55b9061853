#include "support/Program.h"

#include "support/Computer.h"
#include "resource.h"

namespace qctest {

RunningProgram::~RunningProgram() { m_process.Kill(); }

bool RunningProgram::Start(const std::wstring& exe, DWORD timeoutMs) {
    if (!m_process.Start(exe)) {
        m_failure = "the program could not be started";
        return false;
    }
    return WaitForStatusWindow(timeoutMs);
}

bool RunningProgram::WaitForStatusWindow(DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    for (;;) {
        m_status = uidrv::WaitForWindow({L"#32770", L"Quavercart(E:)", m_process.Id(), false}, 0);
        if (m_status) return true;
        if (HWND box = uidrv::WaitForMessageBox(m_process.Id(), 0)) {
            uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
            m_failure = "message box instead: " + Narrow(info.caption) + ": " + Narrow(info.text);
            return false;
        }
        if (m_process.WaitExit(20)) {
            m_failure = "the program ended with " + std::to_string(m_process.ExitCode());
            return false;
        }
        if (::GetTickCount() - start > timeoutMs) {
            m_failure = "no status window";
            return false;
        }
    }
}

std::wstring RunningProgram::LogText() const { return uidrv::GetControlText(m_status, IDC_LOG); }

bool RunningProgram::WaitForLog(const std::wstring& text, DWORD timeoutMs) const {
    DWORD start = ::GetTickCount();
    while (LogText().find(text) == std::wstring::npos) {
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
    return true;
}

bool RunningProgram::WaitForIdle(DWORD timeoutMs) const {
    DWORD start = ::GetTickCount();
    for (;;) {
        std::wstring log = LogText();
        bool ended = log.find(L"Transfer completed.") != std::wstring::npos ||
                     log.find(L"Transfer interrupted.") != std::wstring::npos ||
                     log.find(L"Transfer canceled by user.") != std::wstring::npos;
        if (ended && uidrv::GetControlText(m_status, IDC_TRANSFER) == L"&Start transfer") return true;
        if (::GetTickCount() - start > timeoutMs) return false;
        ::Sleep(20);
    }
}

bool RunningProgram::ExitFromTray(DWORD timeoutMs) {
    // Exit is the last item of the menu.
    if (!uidrv::ChooseTrayMenuItem(m_status, 0x450, -1, timeoutMs)) return false;
    return m_process.WaitExit(timeoutMs) && m_process.ExitCode() == 0;
}

} // namespace qctest
