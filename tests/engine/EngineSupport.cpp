#include "EngineSupport.h"

#include "foundation/Profile.h"
#include "store/AppPaths.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace qctest {

const wchar_t kSourceRoot[] = L"C:\\qcsrc";

namespace {
const wchar_t kRecorderClass[] = L"QcTransferRecorder";
constexpr UINT_PTR kAnswerTimer = 1;

bool CarriesText(UINT message) {
    return message == WM_APP_LOG_LINE || message == WM_APP_CAPACITY_ERROR || message == WM_APP_MESSAGE_BOX;
}
} // namespace

const char* MessageName(UINT message) {
    switch (message) {
    case WM_APP_SET_PROGRESS_RANGE: return "RANGE";
    case WM_APP_SET_PROGRESS_POS: return "POS";
    case WM_APP_LOG_LINE: return "LOG";
    case WM_APP_CURRENT_FILE: return "CURRENT";
    case WM_APP_SEARCH_BEGIN: return "SEARCH_BEGIN";
    case WM_APP_SEARCH_END: return "SEARCH_END";
    case WM_APP_TRANSFER_COMPLETE: return "COMPLETE";
    case WM_APP_TRANSFER_INTERRUPTED: return "INTERRUPTED";
    case WM_APP_CAPACITY_ERROR: return "CAPACITY_ERROR";
    case WM_APP_MESSAGE_BOX: return "BOX";
    case WM_APP_TRANSFER_CANCELED: return "CANCELED";
    default: return "?";
    }
}

CRecorder::CRecorder() : m_answer(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &CRecorder::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kRecorderClass;
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(0, kRecorderClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

CRecorder::~CRecorder() { Close(); }

void CRecorder::Close() {
    if (m_closed) return;
    Pump(0);
    // The handle is kept: posts to it now fail as they do for a closed window.
    ::DestroyWindow(m_window);
    m_closed = true;
}

LRESULT CALLBACK CRecorder::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CRecorder*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && message >= WM_APP_SET_PROGRESS_RANGE && message <= WM_APP_TRANSFER_CANCELED) {
        self->Record(message, wParam, lParam);
        return 0;
    }
    if (self && message == WM_TIMER && wParam == kAnswerTimer) {
        ::KillTimer(window, kAnswerTimer);
        self->answeredAt.push_back(::GetTickCount());
        ::SetEvent(self->m_answer.Get());
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void CRecorder::Record(UINT message, WPARAM wParam, LPARAM lParam) {
    Posted p;
    p.message = message;
    p.wParam = wParam;
    p.lParam = lParam;
    p.tick = ::GetTickCount();
    if (CarriesText(message) && lParam) {
        p.text = reinterpret_cast<const wchar_t*>(lParam);
        FreeTransferText(lParam);
    }
    if (message == WM_APP_CURRENT_FILE) {
        if (wParam) p.text = reinterpret_cast<const wchar_t*>(wParam);
        if (lParam) p.text2 = reinterpret_cast<const wchar_t*>(lParam);
        FreeTransferText(static_cast<LPARAM>(wParam));
        FreeTransferText(lParam);
    }
    messages.push_back(p);
    if (onMessage) onMessage(messages.back());
    if (message == WM_APP_MESSAGE_BOX) {
        if (answerDelayMs == 0) {
            answeredAt.push_back(::GetTickCount());
            ::SetEvent(m_answer.Get());
        } else {
            ::SetTimer(m_window, kAnswerTimer, answerDelayMs, nullptr);
        }
    }
}

void CRecorder::Pump(DWORD ms) {
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (::GetTickCount() - start >= ms) return;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::vector<UINT> CRecorder::Ids() const {
    std::vector<UINT> ids;
    for (const Posted& p : messages) ids.push_back(p.message);
    return ids;
}

int CRecorder::Count(UINT message) const {
    int n = 0;
    for (const Posted& p : messages) n += p.message == message;
    return n;
}

std::vector<std::wstring> CRecorder::Log() const {
    std::vector<std::wstring> log;
    for (const Posted& p : messages) {
        if (p.message != WM_APP_LOG_LINE) continue;
        if (p.wParam == 1 && !log.empty()) {
            log.back() = p.text;
        } else {
            log.push_back(p.text);
        }
    }
    return log;
}

std::vector<std::wstring> CRecorder::Boxes() const {
    std::vector<std::wstring> boxes;
    for (const Posted& p : messages) {
        if (p.message == WM_APP_MESSAGE_BOX) boxes.push_back(p.text);
    }
    return boxes;
}

std::string CRecorder::Describe() const {
    std::string out;
    for (const Posted& p : messages) {
        out += MessageName(p.message);
        out += "(" + std::to_string(p.wParam) + "," + std::to_string(p.lParam) + ")";
        if (!p.text.empty()) out += " " + Narrow(p.text);
        out += "\n";
    }
    return out;
}

unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder, DWORD timeoutMs) {
    if (worker.Start(&recorder) != 0) return ~0u;
    DWORD start = ::GetTickCount();
    while (worker.IsRunning()) {
        recorder.Pump(10);
        if (::GetTickCount() - start > timeoutMs) return ~0u;
    }
    // Everything the worker posted before it ended.
    recorder.Pump(50);
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
    wchar_t self[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH + 1);
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW(L"E:\\*", &fd);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = Join(L"E:\\", name);
            if (::lstrcmpiW(child.c_str(), self) == 0) continue;
            ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(child);
            } else {
                ::DeleteFileW(child.c_str());
            }
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
    wchar_t appData[MAX_PATH] = L"";
    ::SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, appData);
    DeleteTree(Join(appData, L"Quavercart"));
    int first = 0;
    InitDeviceIdentity(first);
    InitDeviceSettings();
    SetFreeSpaceMargin(2, 20);
}

namespace {
// Music left on C: would be found by the next program's search of that drive.
struct CSourcesCleanup {
    ~CSourcesCleanup() { DeleteTree(kSourceRoot); }
} g_sourcesCleanup;
} // namespace

void ResetSources() {
    DeleteTree(kSourceRoot);
    MakeDirs(kSourceRoot);
}

namespace {
std::wstring SettingsPath() {
    std::wstring path;
    GetSettingsIniPath(path);
    return path;
}
} // namespace

void WriteComputerSetting(const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(L"Settings", key, value, SettingsPath().c_str());
}

std::wstring DeviceIniPath() {
    std::wstring path;
    GetDeviceIniPath(0, path);
    return path;
}

void WriteDeviceSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(section, key, value, DeviceIniPath().c_str());
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

SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = month;
    st.wDay = day;
    st.wHour = hour;
    st.wMinute = minute;
    st.wSecond = second;
    return st;
}

bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc) {
    MakeDirs(path.substr(0, path.find_last_of(L'\\')));
    CHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string block(1 << 20, '\0');
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 7 + path.size()) & 0xFF);
    ULONGLONG left = size;
    while (left > 0) {
        DWORD chunk = static_cast<DWORD>(left < block.size() ? left : block.size());
        DWORD written = 0;
        if (!::WriteFile(file.Get(), block.data(), chunk, &written, nullptr) || written != chunk) return false;
        left -= chunk;
    }
    if (lastWriteUtc) {
        FILETIME ft;
        if (!::SystemTimeToFileTime(lastWriteUtc, &ft) || !::SetFileTime(file.Get(), nullptr, nullptr, &ft)) return false;
    }
    return true;
}

ULONGLONG SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW(Join(folder, L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
    return names;
}

} // namespace qctest
