#include "support/Program.h"

#include "foundation/Handle.h"
#include "resource.h"
#include "shell/Startup.h"

#include <random>

namespace qctest {

RunningProgram::~RunningProgram() { m_process.Kill(); }

bool RunningProgram::Start(const std::wstring& exe, DWORD timeoutMs) {
    return m_process.Start(exe) && WaitForStatusWindow(timeoutMs);
}

bool RunningProgram::WaitForStatusWindow(DWORD timeoutMs) {
    // A program that ended or stopped at a box fails here without waiting the time out.
    WaitUntil([&] {
        m_status = uidrv::WaitForWindow({L"#32770", L"Quavercart(E:)", m_process.Id(), false}, 0);
        return m_status || uidrv::WaitForMessageBox(m_process.Id(), 0) || m_process.WaitExit(0);
    }, timeoutMs);
    m_failure = m_status ? "" : "no status window: a box, an end or a hang instead";
    return m_status != nullptr;
}

std::wstring RunningProgram::LogText() const { return uidrv::GetControlText(m_status, IDC_LOG); }

bool RunningProgram::WaitForLog(const std::wstring& text, DWORD timeoutMs) const {
    return WaitUntil([&] { return LogText().find(text) != std::wstring::npos; }, timeoutMs);
}

bool RunningProgram::WaitForIdle(DWORD timeoutMs) const {
    return WaitUntil([&] {
        std::wstring log = LogText();
        bool ended = log.find(L"Transfer completed.") != std::wstring::npos ||
                     log.find(L"Transfer interrupted.") != std::wstring::npos ||
                     log.find(L"Transfer canceled by user.") != std::wstring::npos;
        return ended && uidrv::GetControlText(m_status, IDC_TRANSFER) == L"&Start transfer";
    }, timeoutMs);
}

bool RunningProgram::ExitFromTray(DWORD timeoutMs) {
    // Exit is the last item of the menu.
    if (!uidrv::ChooseTrayMenuItem(m_status, WM_TRAYNOTIFY, -1, timeoutMs)) return false;
    return m_process.WaitExit(timeoutMs) && m_process.ExitCode() == 0;
}

std::wstring AnswerBox(DWORD processId, const std::wstring& caption, int button, HWND* owner) {
    HWND box = uidrv::WaitForMessageBox(processId, kUiTimeout, caption);
    if (!box) return L"<no box>";
    if (owner) *owner = ::GetWindow(box, GW_OWNER);
    std::wstring text = uidrv::ReadMessageBox(box).text;
    uidrv::ClickButton(box, button);
    WaitUntil([&] { return !::IsWindow(box); });
    return text;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < timeoutMs; ::Sleep(10)) {
        if (done()) return true;
    }
    return done();
}

size_t CountOf(const std::wstring& text, const std::wstring& piece) {
    size_t n = 0;
    for (size_t pos = text.find(piece); pos != std::wstring::npos; pos = text.find(piece, pos + 1)) ++n;
    return n;
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    std::string x, y;
    return ReadBytes(a, x) && ReadBytes(b, y) && x == y;
}

void ProgramTest::Reset(const std::wstring& settings) {
    pc = ResetComputer();
    computer = PrepareKnownPlayer(pc, settings);
}

std::wstring ProgramTest::AddSong(const std::wstring& path, size_t size, int order) {
    std::mt19937 rng(static_cast<unsigned>(order * 7919 + size));
    std::string bytes(size, '\0');
    for (char& b : bytes) b = static_cast<char>(rng() & 0xFF);
    EXPECT_TRUE(WriteBytes(path, bytes));
    // Written at noon, local time, `order` days into 2024.
    SYSTEMTIME local = {2024, static_cast<WORD>(1 + order / 28), 0, static_cast<WORD>(1 + order % 28), 12, 0, 0, 0}, utc;
    FILETIME time;
    CHandle f(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(f && ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) && ::SystemTimeToFileTime(&utc, &time) &&
                ::SetFileTime(f.Get(), nullptr, nullptr, &time));
    return path;
}

std::wstring ProgramTest::History() const {
    std::string bytes;
    ReadBytes(Join(computer, L"TransferredFiles.dat"), bytes);
    return Utf16LeToWide(bytes.size() >= 2 ? bytes.substr(2) : "");
}

std::vector<std::wstring> ProgramTest::PlayerFiles(const std::wstring& folder) const {
    std::vector<std::wstring> files;
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &fd));
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &fd)) {
        std::wstring name = fd.cFileName, path = Join(folder, name);
        if (name == L"." || name == L"..") continue;
        std::vector<std::wstring> below = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PlayerFiles(path)
                                                                                           : std::vector<std::wstring>{path};
        files.insert(files.end(), below.begin(), below.end());
    }
    return files;
}

} // namespace qctest
