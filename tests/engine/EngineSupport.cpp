#include "EngineSupport.h"

#include "foundation/Application.h"

#include <algorithm>
#include <shlobj.h>

namespace qctest {

const wchar_t kSourceRoot[] = L"C:\\qcsrc";
thread_local CTestThread* t_worker = nullptr;

namespace {
const char* const kNames[] = {"RANGE",    "POS",         "LOG",            "CURRENT", "SEARCH_BEGIN", "SEARCH_END",
                              "COMPLETE", "INTERRUPTED", "CAPACITY_ERROR", "BOX",     "CANCELED"};

// Music left on C: would be found by the next program's search of that drive.
struct CSourcesCleanup { ~CSourcesCleanup() { DeleteTree(kSourceRoot); } } g_sourcesCleanup;

class CTestFile : public CSysFile {
public:
    CTestFile(Fault fault, ULONGLONG after, DWORD delayMs) : m_fault(fault), m_after(after), m_delayMs(delayMs) {}
    HRESULT Read(DWORD count, DWORD& read, void* buffer) override {
        ::Sleep(m_delayMs);
        if (Due(Fault::kShrinks) || Due(Fault::kReadFails)) return (read = 0, Due(Fault::kShrinks) ? S_OK : E_FAIL);
        HRESULT hr = CSysFile::Read(count, read, buffer);
        return m_done += read, hr;
    }
    HRESULT Write(DWORD count, const void* data, DWORD& written) override {
        if (Due(Fault::kWriteFails) || Due(Fault::kVanishes)) return (written = 0, E_FAIL);
        HRESULT hr = CSysFile::Write(Due(Fault::kShortWrite) ? count / 2 : count, data, written);
        return m_done += written, hr;
    }
    HRESULT GetSize(ULONGLONG& size) const override { return m_fault == Fault::kSizeFails ? E_FAIL : CSysFile::GetSize(size); }
    // A vanished medium: nothing can be deleted any more.
    HRESULT Delete() override { return m_fault == Fault::kVanishes ? E_FAIL : CSysFile::Delete(); }

private:
    bool Due(Fault fault) const { return m_fault == fault && m_done >= m_after; }
    Fault m_fault;
    ULONGLONG m_after, m_done = 0;
    DWORD m_delayMs;
};

template <typename... Args> std::string Format(UINT id, Args... args) {
    wchar_t format[kTransferTextChars], text[kTransferTextChars];
    LoadResString(id, format, kTransferTextChars);
    ::wsprintfW(text, format, args...);
    return Narrow(text);
}
} // namespace

CRecorder::CRecorder() : m_answer(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    WNDCLASSW wc = {0, &WindowProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"QcTransferRecorder"};
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

// The handle is kept: posts to it fail as to a closed window.
void CRecorder::Close() { ::IsWindow(m_window) && (Pump(0), ::DestroyWindow(m_window)); }

LRESULT CALLBACK CRecorder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || message < WM_APP_SET_PROGRESS_RANGE || message > WM_APP_TRANSFER_CANCELED) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    Posted p{message, wParam, lParam, L""};
    const bool texts = message == WM_APP_LOG_LINE || message == WM_APP_CURRENT_FILE ||
                       message == WM_APP_CAPACITY_ERROR || message == WM_APP_MESSAGE_BOX;
    for (LPARAM text : {message == WM_APP_CURRENT_FILE ? static_cast<LPARAM>(wParam) : 0, texts ? lParam : 0}) {
        if (text) p.text += (p.text.empty() ? L"" : L" ") + std::wstring(reinterpret_cast<const wchar_t*>(text));
        FreeTransferText(text);
    }
    self->messages.push_back(p);
    if (self->onMessage) self->onMessage(self->messages.back());
    if (message == WM_APP_MESSAGE_BOX && self->answerBoxes) ::SetEvent(self->m_answer.Get());
    return 0;
}

void CRecorder::Pump(DWORD ms) {
    for (DWORD start = ::GetTickCount(); ::GetTickCount() - start < ms;) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
    }
    for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
}

std::string CRecorder::Describe(UINT skip) const {
    std::string out;
    for (const Posted& p : messages) {
        if (p.message == skip) continue;
        out += kNames[p.message - WM_APP_SET_PROGRESS_RANGE];
        if (p.message == WM_APP_CURRENT_FILE) out += " " + Narrow(p.text);
        else if (p.text.empty()) out += "(" + std::to_string(p.wParam) + "," + std::to_string(p.lParam) + ")\n";
        else out += "(" + std::to_string(p.wParam) + ") " + Narrow(p.text) + "\n";
    }
    return out;
}

unsigned CTestThread::Run(void* owner) { return (t_worker = this, CTransferThread::Run(owner)); }

std::unique_ptr<CSysFile> CTestThread::NewFileObject(FileRole role) {
    const bool source = role == FileRole::kSource;
    if (source && beforeCopy) beforeCopy(m_copies++);
    return std::make_unique<CTestFile>(source ? sourceFault : destFault, faultAfter, source ? readDelayMs : 0);
}

UINT CTestThread::QueryDriveStrings(wchar_t* buffer) {
    if (drives.empty()) return GetDriveStrings(buffer);
    std::replace_copy(drives.c_str(), drives.c_str() + drives.size() + 1, buffer, L'|', L'\0');
    buffer[drives.size() + 1] = L'\0';
    return static_cast<UINT>(drives.size() + 1);
}

std::string Text(UINT id, const std::wstring& argument) { return Format(id, argument.c_str()); }
std::string Current(int position, int count, const std::wstring& path) {
    return "CURRENT " + Format(IDS_SONG_POSITION, position, count) + " " + Text(IDS_CURRENT_PATH, path);
}

unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder, DWORD timeoutMs) {
    if (worker.Start(&recorder) != 0) return ~0u;
    for (DWORD begin = ::GetTickCount(); worker.IsRunning(); recorder.Pump(10)) {
        if (::GetTickCount() - begin > timeoutMs) return ~0u;
    }
    recorder.Pump(50);  // everything the worker posted before it ended
    return worker.GetExitCode();
}

void ResetPlayer() {
    ResetComputer();  // the running test program stays on the player
    int first = 0;
    InitDeviceIdentity(first);
    InitDeviceSettings();
    SetFreeSpaceMargin(2, 20);
    DeleteTree(kSourceRoot);
    MakeDirs(kSourceRoot);
}

void WriteComputerSetting(const std::wstring& key, const std::wstring& value) {
    std::wstring path;
    GetSettingsIniPath(path);
    ::WritePrivateProfileStringW(L"Settings", key.c_str(), value.c_str(), path.c_str());
}

void SearchOnly(const std::vector<std::wstring>& folders) {
    WriteComputerSetting(L"SelectedFolders", L"1");
    WriteComputerSetting(L"FolderCount", std::to_wstring(folders.size()));
    for (size_t n = 0; n < folders.size(); ++n) WriteComputerSetting(L"Folder" + std::to_wstring(n + 1), L"\"" + folders[n] + L"\"");
}

bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc) {
    std::string bytes(static_cast<size_t>(size), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + path.size()) & 0xFF);
    FILETIME ft;
    if (!WriteBytes(path, bytes) || !lastWriteUtc) return FileExists(path);
    CHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return ::SystemTimeToFileTime(lastWriteUtc, &ft) && ::SetFileTime(file.Get(), nullptr, nullptr, &ft);
}

std::vector<std::wstring> ListFolder(const std::wstring& folder, bool deep) {
    std::vector<std::wstring> names, inner;
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &fd));
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &fd)) {
        const std::wstring name = fd.cFileName, path = Join(folder, name);
        if (name == L"." || name == L"..") continue;
        inner = deep && (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? ListFolder(path, true)
                                                                          : std::vector<std::wstring>{deep ? path : name};
        names.insert(names.end(), inner.begin(), inner.end());
    }
    return names;
}

} // namespace qctest
