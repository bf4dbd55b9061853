#pragma once
// What the engine tests share (each test program includes it once): a window
// that records every message of a transfer in order, frees every text and
// answers every box; a worker whose media misbehave on request; and a player
// on E: (the test program runs from there, so E: is the device root) with its
// identity, settings and history, plus source files on C:.

#include "engine/TransferThread.h"
#include "foundation/Application.h"
#include "foundation/SysQuery.h"
#include "resource.h"
#include "store/AppPaths.h"
#include "support/Computer.h"

#include <algorithm>
#include <functional>

namespace qctest {

inline const wchar_t kSourceRoot[] = L"C:\\qcsrc";
inline std::wstring Src(const std::wstring& rest) { return Join(kSourceRoot, rest); }

// A message as it came; text holds what its buffers said (both of CURRENT_FILE, joined by a space).
struct Posted { UINT message; WPARAM wParam; LPARAM lParam; std::wstring text; };

class CRecorder : public CTransferReceiver {
public:
    CRecorder() : m_answer(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
        WNDCLASSW wc = {0, &WindowProc, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"QcTransferRecorder"};
        ::RegisterClassW(&wc);
        m_window = ::CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~CRecorder() { Close(); }
    HWND GetTransferWindow() const override { return m_window; }
    HANDLE GetAnswerEvent() const override { return m_answer.Get(); }
    // Later posts to the window fail; the handle is kept, as a closed window's would be.
    void Close() { ::IsWindow(m_window) && (Pump(0), ::DestroyWindow(m_window)); }
    void Pump(DWORD ms) {  // handles the posted messages for at least `ms`
        for (DWORD start = ::GetTickCount(), more = 1; more; more = ::GetTickCount() - start < ms) {
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms ? 10 : 0, QS_ALLINPUT);
            for (MSG msg; ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) ::DispatchMessageW(&msg);
        }
    }
    // One line per message but those of kind `skip`: "NAME(wParam,lParam)" or "NAME(wParam) text".
    std::string Describe(UINT skip = 0) const {
        const char* const names[] = {"RANGE",    "POS",         "LOG",            "CURRENT", "SEARCH_BEGIN", "SEARCH_END",
                                     "COMPLETE", "INTERRUPTED", "CAPACITY_ERROR", "BOX",     "CANCELED"};
        std::string out;
        for (const Posted& p : messages) {
            if (p.message == skip) continue;
            out += names[p.message - WM_APP_SET_PROGRESS_RANGE];
            if (p.message == WM_APP_CURRENT_FILE) out += " " + Narrow(p.text);
            else if (p.text.empty()) out += "(" + std::to_string(p.wParam) + "," + std::to_string(p.lParam) + ")\n";
            else out += "(" + std::to_string(p.wParam) + ") " + Narrow(p.text) + "\n";
        }
        return out;
    }

    std::function<void(const Posted&)> onMessage;  // once recorded, before a box is answered
    bool answerBoxes = true;                       // at once; else the test sets the answer event
    std::vector<Posted> messages;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
    HWND m_window = nullptr;
    CHandle m_answer;
};

// What a source or destination does wrong once `after` bytes have passed.
enum class Fault { kNone, kShrinks, kReadFails, kShortWrite, kVanishes };
class CTestFile : public CSysFile {
public:
    CTestFile(Fault fault, ULONGLONG after, DWORD delayMs) : m_fault(fault), m_after(after), m_delayMs(delayMs) {}
    HRESULT Read(DWORD count, DWORD& read, void* buffer) override {
        ::Sleep(m_delayMs);
        if (Due(Fault::kShrinks) || Due(Fault::kReadFails)) return (read = 0, Due(Fault::kShrinks) ? S_OK : E_FAIL);
        return Counted(CSysFile::Read(count, read, buffer), read);
    }
    HRESULT Write(DWORD count, const void* data, DWORD& written) override {
        if (Due(Fault::kVanishes)) return (written = 0, E_FAIL);
        return Counted(CSysFile::Write(Due(Fault::kShortWrite) ? count / 2 : count, data, written), written);
    }
    // A vanished medium: nothing can be deleted any more.
    HRESULT Delete() override { return m_fault == Fault::kVanishes ? E_FAIL : CSysFile::Delete(); }

private:
    bool Due(Fault fault) const { return m_fault == fault && m_done >= m_after; }
    HRESULT Counted(HRESULT hr, const DWORD& bytes) { return m_done += bytes, hr; }  // by reference: read after the call
    Fault m_fault;
    ULONGLONG m_after, m_done = 0;
    DWORD m_delayMs;
};

class CTestThread;
inline thread_local CTestThread* t_worker = nullptr;  // the test worker running on this thread

class CTestThread : public CTransferThread {
public:
    std::function<void(int)> beforeCopy;  // 0, 1, 2... as each copy takes its source while it is set
    std::function<bool()> onText;         // asked before each text where the test allocator is linked: false refuses it
    Fault sourceFault = Fault::kNone, destFault = Fault::kNone;
    ULONGLONG faultAfter = 0;
    DWORD readDelayMs = 0;  // per chunk, so a test can act in mid-copy
    std::wstring drives;    // what the machine's drives are taken to be
    unsigned Run(void* owner) override { return (t_worker = this, CTransferThread::Run(owner)); }

protected:
    std::unique_ptr<CSysFile> NewFileObject(FileRole role) override {
        const bool source = role == FileRole::kSource;
        if (source && beforeCopy) beforeCopy(m_copies++);
        return std::make_unique<CTestFile>(source ? sourceFault : destFault, faultAfter, source ? readDelayMs : 0);
    }
    // Roots separated by '|'; none by default: a damaged setting that asks for every drive must not search the host.
    UINT QueryDriveStrings(wchar_t* buffer) override {
        std::replace_copy(drives.c_str(), drives.c_str() + drives.size() + 1, buffer, L'|', L'\0');
        return buffer[drives.size() + 1] = L'\0', static_cast<UINT>(drives.empty() ? 0 : drives.size() + 1);
    }

private:
    int m_copies = 0;
};

// A string of the program's table filled in, and the lines Describe gives for texts.
template <typename... Args> std::string Format(UINT id, Args... args) {
    wchar_t format[kTransferTextChars], text[kTransferTextChars];
    LoadResString(id, format, kTransferTextChars);
    ::wsprintfW(text, format, args...);
    return Narrow(text);
}
inline std::string Text(UINT id, const std::wstring& argument) { return Format(id, argument.c_str()); }
inline std::string Line(WPARAM replace, UINT id, const std::wstring& path) {
    return "LOG(" + std::to_string(replace) + ") " + Text(id, path) + "\n";
}
inline std::string Box(UINT id, const std::wstring& name) { return "BOX(" + std::to_string(MB_ICONERROR) + ") " + Text(id, name) + "\n"; }
inline std::string Current(int position, int count, const std::wstring& path) {
    return "CURRENT " + Format(IDS_SONG_POSITION, position, count) + " " + Text(IDS_CURRENT_PATH, path);
}
const std::string kSearched = "SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\n";

// Starts the worker for the recorder and handles its messages until the thread
// has ended (a hang is failed by CTest's timeout); the worker's exit code.
inline unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder) {
    if (worker.Start(&recorder) != 0) return ~0u;
    while (worker.IsRunning()) recorder.Pump(10);
    recorder.Pump(50);  // everything the worker posted before it ended
    return worker.GetExitCode();
}

// The player: E:\ emptied (but for the running test program) with the rest of
// the computer, identity and default device settings made; C:\qcsrc emptied.
inline void ResetPlayer() {
    int first = 0;
    ResetComputer();
    InitDeviceIdentity(first), InitDeviceSettings(), SetFreeSpaceMargin(2, 20);
    DeleteTree(kSourceRoot), MakeDirs(kSourceRoot);
}
inline std::wstring HistoryPath() { std::wstring path; return GetHistoryFilePath(path), path; }
inline std::wstring DeviceIniPath() { std::wstring path; return GetDeviceIniPath(0, path), path; }
// Keys in section "Settings" of Settings.ini, or in any section of the device settings.
inline void WriteComputerSetting(const std::wstring& key, const std::wstring& value) {
    std::wstring path;
    GetSettingsIniPath(path);
    ::WritePrivateProfileStringW(L"Settings", key.c_str(), value.c_str(), path.c_str());
}
inline void WriteDeviceSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(section, key, value, DeviceIniPath().c_str());
}
inline void SearchOnly(const std::vector<std::wstring>& folders) {  // these folders alone, in this order
    WriteComputerSetting(L"SelectedFolders", L"1"), WriteComputerSetting(L"FolderCount", std::to_wstring(folders.size()));
    for (size_t n = 0; n < folders.size(); ++n) WriteComputerSetting(L"Folder" + std::to_wstring(n + 1), L"\"" + folders[n] + L"\"");
}

// A file of the given size (a pattern) and last-write time (UTC).
inline bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc = nullptr) {
    std::string bytes(static_cast<size_t>(size), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + path.size()) & 0xFF);
    FILETIME ft;
    if (!WriteBytes(path, bytes) || !lastWriteUtc) return FileExists(path);
    CHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return ::SystemTimeToFileTime(lastWriteUtc, &ft) && ::SetFileTime(file.Get(), nullptr, nullptr, &ft);
}
inline SYSTEMTIME Utc(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) { return SYSTEMTIME{y, mo, 0, d, h, mi, s, 0}; }

// The full paths of every file below a folder.
inline std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names, inner;
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &fd));
    for (bool more = find.IsValid(); more; more = ::FindNextFileW(find.Get(), &fd)) {
        const std::wstring name = fd.cFileName, path = Join(folder, name);
        if (name == L"." || name == L"..") continue;
        inner = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? ListFolder(path) : std::vector<std::wstring>{path};
        names.insert(names.end(), inner.begin(), inner.end());
    }
    return names;
}

} // namespace qctest
