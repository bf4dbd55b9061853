#include "EngineSupport.h"

#include "foundation/Profile.h"
#include "store/AppPaths.h"

#include <shlobj.h>

namespace qctest {

const wchar_t kSourceRoot[] = L"C:\\qcsrc";

namespace {
const wchar_t kRecorderClass[] = L"QcTransferRecorder";
const char* const kNames[] = {"RANGE",    "POS",         "LOG",            "CURRENT", "SEARCH_BEGIN", "SEARCH_END",
                              "COMPLETE", "INTERRUPTED", "CAPACITY_ERROR", "BOX",     "CANCELED"};

// Music left on C: would be found by the next program's search of that drive.
struct CSourcesCleanup {
    ~CSourcesCleanup() { DeleteTree(kSourceRoot); }
} g_sourcesCleanup;

class CTestFile : public CSysFile {
public:
    CTestFile(Fault fault, ULONGLONG after, DWORD delayMs) : m_fault(fault), m_after(after), m_delayMs(delayMs) {}
    HRESULT Read(DWORD count, DWORD& read, void* buffer) override {
        ::Sleep(m_delayMs);
        read = 0;
        if (m_done >= m_after && m_fault == Fault::kShrinks) return S_OK;
        if (m_done >= m_after && m_fault == Fault::kReadFails) return E_FAIL;
        HRESULT hr = CSysFile::Read(count, read, buffer);
        m_done += read;
        return hr;
    }
    HRESULT Write(DWORD count, const void* data, DWORD& written) override {
        written = 0;
        bool due = m_done >= m_after;
        if (due && (m_fault == Fault::kWriteFails || m_fault == Fault::kVanishes)) return E_FAIL;
        HRESULT hr = CSysFile::Write(due && m_fault == Fault::kShortWrite ? count / 2 : count, data, written);
        m_done += written;
        return hr;
    }
    HRESULT GetSize(ULONGLONG& size) const override {
        return m_fault == Fault::kSizeFails ? E_FAIL : CSysFile::GetSize(size);
    }
    // A vanished medium: nothing can be deleted any more.
    HRESULT Delete() override { return m_fault == Fault::kVanishes ? E_FAIL : CSysFile::Delete(); }

private:
    Fault m_fault;
    ULONGLONG m_after, m_done = 0;
    DWORD m_delayMs;
};
} // namespace

CRecorder::CRecorder() : m_answer(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CRecorder::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kRecorderClass;
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, kRecorderClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void CRecorder::Close() {
    if (m_closed) return;
    Pump(0);
    // The handle is kept: posts to it now fail as they do for a closed window.
    ::DestroyWindow(m_window);
    m_closed = true;
}

LRESULT CALLBACK CRecorder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message < WM_APP_SET_PROGRESS_RANGE || message > WM_APP_TRANSFER_CANCELED) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    Posted p{message, wParam, lParam, L"", L""};
    if (message == WM_APP_CURRENT_FILE) {
        if (wParam) p.text = reinterpret_cast<const wchar_t*>(wParam);
        if (lParam) p.text2 = reinterpret_cast<const wchar_t*>(lParam);
        FreeTransferText(static_cast<LPARAM>(wParam));
    } else if (lParam && (message == WM_APP_LOG_LINE || message == WM_APP_CAPACITY_ERROR ||
                          message == WM_APP_MESSAGE_BOX)) {
        p.text = reinterpret_cast<const wchar_t*>(lParam);
    } else {
        lParam = 0;
    }
    FreeTransferText(lParam);
    self->messages.push_back(p);
    if (self->onMessage) self->onMessage(self->messages.back());
    if (message == WM_APP_MESSAGE_BOX && self->answerBoxes) ::SetEvent(self->m_answer.Get());
    return 0;
}

void CRecorder::Pump(DWORD ms, UINT until) {
    for (DWORD start = ::GetTickCount();;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        if (::GetTickCount() - start >= ms || (until && Count(until))) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<LPARAM> CRecorder::LParams(UINT message) const {
    std::vector<LPARAM> values;
    for (const Posted& p : messages) {
        if (p.message == message) values.push_back(p.lParam);
    }
    return values;
}

std::vector<std::string> CRecorder::Log() const {
    std::vector<std::string> log;
    for (const Posted& p : messages) {
        if (p.message != WM_APP_LOG_LINE) continue;
        if (p.wParam == 1 && !log.empty()) log.pop_back();
        log.push_back(Narrow(p.text));
    }
    return log;
}

std::string CRecorder::Describe(UINT skip) const {
    std::string out;
    for (const Posted& p : messages) {
        if (p.message == skip) continue;
        out += kNames[p.message - WM_APP_SET_PROGRESS_RANGE];
        if (p.message == WM_APP_CURRENT_FILE) {
            out += " " + Narrow(p.text + L" " + p.text2);
        } else if (p.text.empty()) {
            out += "(" + std::to_string(p.wParam) + "," + std::to_string(p.lParam) + ")\n";
        } else {
            out += "(" + std::to_string(p.wParam) + ") " + Narrow(p.text) + "\n";
        }
    }
    return out;
}

unsigned CTestThread::Run(void* owner) {
    if (!searchOnly) return CTransferThread::Run(owner);
    BindReceiver(static_cast<CTransferReceiver*>(owner));
    ResetTransferState();
    return SearchFiles() ? 0 : 1;
}

std::unique_ptr<CSysFile> CTestThread::NewFileObject(FileRole role) {
    if (role == FileRole::kSource && beforeCopy) beforeCopy(m_copies++);
    bool source = role == FileRole::kSource;
    return std::make_unique<CTestFile>(source ? sourceFault : destFault, faultAfter, source ? readDelayMs : 0);
}

UINT CTestThread::QueryDriveStrings(wchar_t* buffer) {
    if (drives.empty()) return CTransferThread::QueryDriveStrings(buffer);
    UINT n = 0;
    for (wchar_t c : drives) buffer[n++] = c == L'|' ? L'\0' : c;
    buffer[n] = buffer[n + 1] = L'\0';
    return n + 1;
}

UINT CTestThread::QueryDriveKind(const wchar_t* root) {
    auto it = kinds.find(root[0]);
    return it == kinds.end() ? CTransferThread::QueryDriveKind(root) : it->second;
}

unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder, DWORD timeoutMs, bool start) {
    if (start && worker.Start(&recorder) != 0) return ~0u;
    for (DWORD start = ::GetTickCount(); worker.IsRunning(); recorder.Pump(10)) {
        if (::GetTickCount() - start > timeoutMs) return ~0u;
    }
    recorder.Pump(50);  // everything the worker posted before it ended
    return worker.GetExitCode();
}

bool WriteHere(CTransferThread& worker, CRecorder& recorder, const std::wstring& source, const std::wstring& dest) {
    worker.BindReceiver(&recorder);
    ::SetEvent(recorder.GetAnswerEvent());
    bool ok = worker.WriteData(source, dest);
    ::ResetEvent(recorder.GetAnswerEvent());
    recorder.Pump(20);
    return ok;
}

void ResetPlayer() {
    wchar_t self[MAX_PATH + 1], appData[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    for (const std::wstring& name : ListFolder(L"E:\\")) {
        std::wstring child = Join(L"E:\\", name);
        if (::lstrcmpiW(child.c_str(), self) == 0) continue;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!::DeleteFileW(child.c_str())) DeleteTree(child);
    }
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData);
    DeleteTree(Join(appData, L"Quavercart"));
    int first = 0;
    InitDeviceIdentity(first);
    InitDeviceSettings();
    SetFreeSpaceMargin(2, 20);
}

void ResetSources() {
    DeleteTree(kSourceRoot);
    MakeDirs(kSourceRoot);
}

void WriteComputerSetting(const wchar_t* key, const wchar_t* value) {
    std::wstring path;
    GetSettingsIniPath(path);
    ::WritePrivateProfileStringW(L"Settings", key, value, path.c_str());
}

void WriteDeviceSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(section, key, value, DeviceIniPath().c_str());
}

std::wstring DeviceIniPath() {
    std::wstring path;
    GetDeviceIniPath(0, path);
    return path;
}

void SearchOnly(const std::wstring& folder) {
    WriteComputerSetting(L"SelectedFolders", L"1");
    WriteComputerSetting(L"FolderCount", L"1");
    WriteComputerSetting(L"Folder1", (L"\"" + folder + L"\"").c_str());
}

std::wstring HistoryPath() {
    std::wstring path;
    GetHistoryFilePath(path);
    return path;
}

std::vector<std::wstring> HistoryLines() {
    std::string bytes;
    std::vector<std::wstring> lines;
    if (!ReadBytes(HistoryPath(), bytes) || bytes.size() < 2) return lines;
    std::wstring text = Utf16LeToWide(bytes.substr(2));
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc) {
    MakeDirs(path.substr(0, path.find_last_of(L'\\')));
    CHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7 + path.size()) & 0xFF);
    for (ULONGLONG left = size; left > 0;) {
        DWORD chunk = static_cast<DWORD>(left < block.size() ? left : block.size());
        DWORD written = 0;
        if (!::WriteFile(file.Get(), block.data(), chunk, &written, nullptr) || written != chunk) return false;
        left -= chunk;
    }
    FILETIME ft;
    return !lastWriteUtc ||
           (::SystemTimeToFileTime(lastWriteUtc, &ft) && ::SetFileTime(file.Get(), nullptr, nullptr, &ft));
}

ULONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    CFindHandle find(::FindFirstFileW(Join(folder, L"*").c_str(), &fd));
    while (find) {
        if (std::wstring(fd.cFileName) != L"." && std::wstring(fd.cFileName) != L"..") names.push_back(fd.cFileName);
        if (!::FindNextFileW(find.Get(), &fd)) break;
    }
    return names;
}

} // namespace qctest
