#pragma once
// The real program started from the player, with its status window found and
// the ways a person ends it; the fixture every end-to-end test starts from.

#include "support/Computer.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>
#include <functional>
#include <string>
#include <vector>

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

// Waits for the process's next box with `caption`, presses `button` and waits
// until the box is gone; returns its text ("<no box>" without one) and, if
// asked, its owner.
std::wstring AnswerBox(DWORD processId, const std::wstring& caption, int button, HWND* owner = nullptr);

// Polls `done` until it holds or the time is up; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = kUiTimeout);
size_t CountOf(const std::wstring& text, const std::wstring& piece);
// Both files exist with the same bytes.
bool SameFile(const std::wstring& a, const std::wstring& b);

// A reset computer and a known player that searches the folders `settings`
// names (My Music alone unless a test resets it otherwise).
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override { Reset(); }
    void Reset(const std::wstring& settings = L"AllFolders=0\r\nMyMusic=1\r\nDeskTop=0\r\nSelectedFolders=0\r\n");
    // A song of its own bytes, last written `order` days into 2024 (songs are
    // copied oldest first); returns its path.
    std::wstring AddSong(const std::wstring& path, size_t size, int order);
    std::wstring History() const;
    // Every file below `folder`.
    std::vector<std::wstring> PlayerFiles(const std::wstring& folder = L"E:\\Music") const;

    Computer pc;
    std::wstring computer;  // the per-computer folder of the player
};

} // namespace qctest
