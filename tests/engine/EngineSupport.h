#pragma once
// What the engine tests share: a window that records every message of a
// transfer in order, frees every text and answers every box; a worker whose
// drives and media misbehave on request; and a player on E: (the test program
// runs from there, so E: is the device root) with its identity, settings and
// history, plus source files on C:.

#include "engine/TransferThread.h"
#include "foundation/SysQuery.h"
#include "support/Computer.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qctest {

struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::wstring text;   // the text of lParam (or of wParam for CURRENT_FILE)
    std::wstring text2;  // the path text of CURRENT_FILE
};

class CRecorder : public CTransferReceiver {
public:
    CRecorder();
    ~CRecorder() { Close(); }
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;
    HWND GetTransferWindow() const override { return m_window; }
    HANDLE GetAnswerEvent() const override { return m_answer.Get(); }

    // Called for every message after it has been recorded, before a box is answered.
    std::function<void(const Posted&)> onMessage;
    bool answerBoxes = true;  // at once; else the test sets the answer event
    std::vector<Posted> messages;

    // Handles posted messages for at least the given time, or until one of
    // the kind `until` has come.
    void Pump(DWORD ms, UINT until = 0);
    int Count(UINT message) const { return static_cast<int>(LParams(message).size()); }
    std::vector<LPARAM> LParams(UINT message) const;
    // The transfer log as the window would show it: wParam 1 replaces the last line.
    std::vector<std::string> Log() const;
    // One line per message (but those of kind `skip`), texts in place of the
    // pointers that carried them.
    std::string Describe(UINT skip = 0) const;
    // Destroys the window: later posts to its handle fail.
    void Close();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
    bool m_closed = false;
    CHandle m_answer;
};

// What a source or destination does wrong once faultAfter bytes have passed.
enum class Fault { kNone, kShrinks, kReadFails, kWriteFails, kShortWrite, kSizeFails, kVanishes };

class CTestThread : public CTransferThread {
public:
    std::function<void(int)> beforeCopy;  // 0, 1, 2... as each copy takes its source
    Fault sourceFault = Fault::kNone, destFault = Fault::kNone;
    ULONGLONG faultAfter = 0;
    DWORD readDelayMs = 0;                // per chunk, so a test can act in mid-copy
    std::wstring drives;                  // roots separated by '|'; empty: the machine's
    std::map<wchar_t, UINT> kinds;
    bool searchOnly = false;              // Run ends after the search, keeping what it found
    unsigned Run(void* owner) override;

protected:
    std::unique_ptr<CSysFile> NewFileObject(FileRole role) override;
    UINT QueryDriveStrings(wchar_t* buffer) override;
    UINT QueryDriveKind(const wchar_t* root) override;

private:
    int m_copies = 0;
};

// "Transferring <path> ... <outcome>", as a log line reads.
inline std::string LogLine(const std::wstring& path, const std::wstring& outcome) {
    return Narrow(L"Transferring " + path + L" ... " + outcome);
}

// Starts the worker for the recorder (or only waits for it) and handles its messages
// until the thread has ended; the worker's exit code, or ~0u when it did not end in time.
unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder, DWORD timeoutMs = 120000, bool start = true);
// WriteData called on this thread: the answer to a box is given ahead, since
// the recorder can only answer once the call has returned.
bool WriteHere(CTransferThread& worker, CRecorder& recorder, const std::wstring& source, const std::wstring& dest);

// The player: E:\ emptied (but for the running test program), the
// per-computer folder removed, then identity and default device settings made.
void ResetPlayer();
// Source files live below this folder on C:, emptied by ResetSources.
extern const wchar_t kSourceRoot[];  // C:\qcsrc
void ResetSources();
inline std::wstring Src(const std::wstring& rest) { return Join(kSourceRoot, rest); }
// Keys in section "Settings" of Settings.ini, or in any section of the device settings.
void WriteComputerSetting(const wchar_t* key, const wchar_t* value);
void WriteDeviceSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value);
// Lists one folder: SelectedFolders=1, FolderCount=1, Folder1=folder.
void SearchOnly(const std::wstring& folder);
std::wstring HistoryPath();
std::wstring DeviceIniPath();
std::vector<std::wstring> HistoryLines();

// A file of the given size (filled with a pattern) and last-write time (UTC).
bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc = nullptr);
inline SYSTEMTIME Utc(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}
ULONGLONG SizeOf(const std::wstring& path);
// Names in one folder, without "." and "..".
std::vector<std::wstring> ListFolder(const std::wstring& folder);

} // namespace qctest
