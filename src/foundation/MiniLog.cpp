#include "foundation/MiniLog.h"

#include "foundation/Handle.h"

#include <shlwapi.h>
#include <cstdarg>
#include <cwchar>

namespace {

wchar_t g_logPath[MAX_PATH + 1] = L"";
int g_levelThreshold = CMiniLog::kNoLevel;

void Diag(const wchar_t* text) { ::OutputDebugStringW(text); }

// The C runtime's wide fopen and 64-bit tell, so sizes past 2 GiB still count.
FILE* OpenStream(const wchar_t* path, const wchar_t* mode) { return ::_wfopen(path, mode); }

long long ProbeSize(const wchar_t* path) {
    CStream f(OpenStream(path, L"ab+"));
    if (!f) return 0;
    long long size = 0;
    if (::_fseeki64(f.Get(), 0, SEEK_END) == 0) size = ::_ftelli64(f.Get());
    return size < 0 ? 0 : size;
}

// The backup: the log path with its extension replaced by ".bak".
void MakeBackupPath(const wchar_t* logPath, wchar_t (&out)[MAX_PATH + 1]) {
    ::lstrcpynW(out, logPath, MAX_PATH + 1);
    ::PathRemoveExtensionW(out);
    ::PathAddExtensionW(out, L".bak");
}

} // namespace

void CMiniLog::Init(const wchar_t* logPath, int levelThreshold) {
    ::lstrcpynW(g_logPath, logPath ? logPath : L"", MAX_PATH + 1);
    g_levelThreshold = levelThreshold;
}

CMiniLog::CMiniLog(int level) : m_level(level) { ::GetLocalTime(&m_time); }

CMiniLog::~CMiniLog() = default;

void CMiniLog::WriteHeader(FILE* stream) {
    wchar_t stamp[32];
    int n = ::wsprintfW(stamp, L"%04d/%02d/%02d %02d:%02d:%02d.%03d ", m_time.wYear, m_time.wMonth,
                        m_time.wDay, m_time.wHour, m_time.wMinute, m_time.wSecond,
                        m_time.wMilliseconds);
    ::fwrite(stamp, sizeof(wchar_t), static_cast<size_t>(n), stream);
}

void CMiniLog::Write(const wchar_t* format, ...) {
    if (g_levelThreshold != kNoLevel && m_level != kNoLevel &&
        static_cast<unsigned>(g_levelThreshold) < static_cast<unsigned>(m_level)) {
        return;
    }

    wchar_t folder[MAX_PATH + 1];
    ::lstrcpynW(folder, g_logPath, MAX_PATH + 1);
    ::PathRemoveFileSpecW(folder);
    if (g_logPath[0] == L'\0' || !::PathIsDirectoryW(folder)) {
        Diag(L"[CMiniLog::Write] check CMiniLog::Init () and the parameter.\n");
        return;
    }

    wchar_t fileName[MAX_PATH + 1];
    ::lstrcpynW(fileName, g_logPath, MAX_PATH + 1);
    ::PathStripPathW(fileName);
    wchar_t mutexName[MAX_PATH + 40];
    ::wsprintfW(mutexName, L"MUTEX_NAME_FOR_MINILOG_%s", fileName);

    CHandle mutex(::CreateMutexW(nullptr, FALSE, mutexName));
    if (!mutex) {
        Diag(L"[CMiniLog::Write] create mutex failed.\n");
        return;
    }
    CMutexLock lock(mutex.Get(), 60000);
    if (lock.WaitResult() == WAIT_ABANDONED) {
        Diag(L"[CMiniLog::Write] wait for single object returned by WAIT_ABANDONED. continue...\n");
    } else if (!lock.IsOwned()) {
        Diag(L"[CMiniLog::Write] wait for single object failed.\n");
        return;
    }

    long long size = ProbeSize(g_logPath);
    CStream stream(OpenStream(g_logPath, L"ab"));
    if (!stream) {
        Diag(L"[CMiniLog::Write] log file open failed.\n");
        return;
    }
    if (size > kRotateAbove) {
        stream.Reset();
        wchar_t backup[MAX_PATH + 1];
        MakeBackupPath(g_logPath, backup);
        ::DeleteFileW(backup);
        ::MoveFileW(g_logPath, backup);
        stream.Reset(OpenStream(g_logPath, L"ab"));
        if (!stream) {
            Diag(L"[CMiniLog::Write] log file open failed.\n");
            return;
        }
    }

    WriteHeader(stream.Get());
    wchar_t message[1026];
    va_list args;
    va_start(args, format);
    int n = ::wvsprintfW(message, format, args);
    va_end(args);
    if (n > 0) ::fwrite(message, sizeof(wchar_t), static_cast<size_t>(n), stream.Get());
    static const wchar_t kCrLf[] = L"\r\n";
    ::fwrite(kCrLf, sizeof(wchar_t), 2, stream.Get());
}

bool MakeLogPath(const wchar_t* modulePath, const wchar_t* tempFolder, wchar_t (&out)[MAX_PATH + 1]) {
    if (!modulePath || !tempFolder || !modulePath[0] || !tempFolder[0]) return false;
    wchar_t name[MAX_PATH + 1];
    ::lstrcpynW(name, modulePath, MAX_PATH + 1);
    ::PathRemoveExtensionW(name);
    ::PathStripPathW(name);
    ::PathRemoveExtensionW(name);
    ::lstrcpynW(out, tempFolder, MAX_PATH + 1);
    if (!::PathAppendW(out, name)) return false;
    return ::PathAddExtensionW(out, L".log") != FALSE;
}
