#pragma once
// The real program started from the player, with its status window found and
// the ways a person ends it.

#include "uidriver/UiDriver.h"

#include <string>

namespace qctest {

constexpr DWORD kUiTimeout = 30000;

class RunningProgram {
public:
    ~RunningProgram();
    // Starts the program and waits for its status window; a message box on the
    // way fails the start and is described in Failure().
    bool Start(const std::wstring& exe, DWORD timeoutMs = kUiTimeout);
    // Waits for the status window only (the program already runs).
    bool WaitForStatusWindow(DWORD timeoutMs = kUiTimeout);
    HWND Status() const { return m_status; }
    uidrv::Process& Process() { return m_process; }
    const std::string& Failure() const { return m_failure; }

    std::wstring LogText() const;
    // Waits until the transfer log holds `text`.
    bool WaitForLog(const std::wstring& text, DWORD timeoutMs = kUiTimeout) const;
    // Waits until a transfer has ended (its final line is in the log) and the
    // Start button is back.
    bool WaitForIdle(DWORD timeoutMs = kUiTimeout) const;
    // Exit from the tray menu; true when the process ended with exit code 0.
    bool ExitFromTray(DWORD timeoutMs = kUiTimeout);

private:
    uidrv::Process m_process;
    HWND m_status = nullptr;
    std::string m_failure;
};

} // namespace qctest
