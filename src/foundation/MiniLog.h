#pragma once
// Diagnostic log shared by every thread and by every process that uses the same
// log file name. A line is written through a temporary entry in one statement:
//     CMiniLog(-1).Write(L"[Open] E_ESYS_MEDIUMNOTREADY %08x %s", err, path);
// Writing never fails towards the caller; problems go to OutputDebugStringW.

#include <windows.h>
#include <cstdio>

class CMiniLog {
public:
    static constexpr int kNoLevel = -1;
    static constexpr long long kRotateAbove = 1048576;

    // Stores the log path and threshold for the whole process; tests nothing.
    static void Init(const wchar_t* logPath, int levelThreshold);

    explicit CMiniLog(int level = kNoLevel);
    virtual ~CMiniLog();

    void Write(const wchar_t* format, ...);

protected:
    virtual void WriteHeader(FILE* stream);

private:
    SYSTEMTIME m_time;
    int m_level;
};

// Log path for a module: temp folder + module name with every extension that
// PathRemoveExtension strips twice removed + ".log" (a.b.exe -> a.log).
// False when the inputs do not make a path.
bool MakeLogPath(const wchar_t* modulePath, const wchar_t* tempFolder, wchar_t (&out)[MAX_PATH + 1]);
