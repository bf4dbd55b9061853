#pragma once
// What the engine tests share: a window that records every message of a
// transfer in order, frees every text and answers every box; a worker whose
// media misbehave on request; and a player on E: (the test program runs from
// there, so E: is the device root) with its identity, settings and history,
// plus source files on C:.

#include "engine/TransferThread.h"
#include "foundation/SysQuery.h"
#include "resource.h"
#include "store/AppPaths.h"
#include "support/Computer.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qctest {

// A message as it came; text holds what its buffers said (both of CURRENT_FILE, joined by a space).
struct Posted { UINT message; WPARAM wParam; LPARAM lParam; std::wstring text; };

class CRecorder : public CTransferReceiver {
public:
    CRecorder();
    ~CRecorder() { Close(); }
    HWND GetTransferWindow() const override { return m_window; }
    HANDLE GetAnswerEvent() const override { return m_answer.Get(); }
    void Pump(DWORD ms);  // handles the posted messages for at least `ms`
    // One line per message but those of kind `skip`: "NAME(wParam,lParam)" or "NAME(wParam) text".
    std::string Describe(UINT skip = 0) const;
    void Close();  // later posts to the window fail

    std::function<void(const Posted&)> onMessage;  // once recorded, before a box is answered
    bool answerBoxes = true;                       // at once; else the test sets the answer event
    std::vector<Posted> messages;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
    CHandle m_answer;
};

// What a source or destination does wrong once faultAfter bytes have passed.
enum class Fault { kNone, kShrinks, kReadFails, kWriteFails, kShortWrite, kSizeFails, kVanishes };

class CTestThread : public CTransferThread {
public:
    std::function<void(int)> beforeCopy;  // 0, 1, 2... as each copy takes its source while it is set
    std::function<bool()> onText;         // asked before each text where the test allocator is linked: false refuses it
    Fault sourceFault = Fault::kNone, destFault = Fault::kNone;
    ULONGLONG faultAfter = 0;
    DWORD readDelayMs = 0;  // per chunk, so a test can act in mid-copy
    std::wstring drives;    // roots separated by '|'; empty: the machine's
    std::map<wchar_t, UINT> kinds;
    unsigned Run(void* owner) override;

protected:
    std::unique_ptr<CSysFile> NewFileObject(FileRole role) override;
    UINT QueryDriveStrings(wchar_t* buffer) override;
    UINT QueryDriveKind(const wchar_t* root) override { return kinds.count(*root) ? kinds[*root] : GetDriveKind(root); }

private:
    int m_copies = 0;
};
extern thread_local CTestThread* t_worker;  // the test worker running on this thread

// A string of the program's table filled in, and the lines Describe gives for texts.
std::string Text(UINT id, const std::wstring& argument);
inline std::string Line(WPARAM replace, UINT id, const std::wstring& path) {
    return "LOG(" + std::to_string(replace) + ") " + Text(id, path) + "\n";
}
inline std::string Box(UINT id, const std::wstring& name) { return "BOX(16) " + Text(id, name) + "\n"; }
std::string Current(int position, int count, const std::wstring& path);
const std::string kSearched = "SEARCH_BEGIN(0,0)\nSEARCH_END(0,0)\nRANGE(0,100)\n";

// Starts the worker for the recorder and handles its messages until the thread
// has ended; the worker's exit code, or ~0u when it did not end in time.
unsigned RunTransfer(CTransferThread& worker, CRecorder& recorder, DWORD timeoutMs = 120000);

// The player: E:\ emptied (but for the running test program) with the rest of
// the computer, identity and default device settings made; C:\qcsrc emptied.
void ResetPlayer();
extern const wchar_t kSourceRoot[];  // C:\qcsrc
inline std::wstring Src(const std::wstring& rest) { return Join(kSourceRoot, rest); }
inline std::wstring HistoryPath() { std::wstring path; return GetHistoryFilePath(path), path; }
inline std::wstring DeviceIniPath() { std::wstring path; return GetDeviceIniPath(0, path), path; }
// Keys in section "Settings" of Settings.ini, or in any section of the device settings.
void WriteComputerSetting(const std::wstring& key, const std::wstring& value);
inline void WriteDeviceSetting(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    ::WritePrivateProfileStringW(section, key, value, DeviceIniPath().c_str());
}
void SearchOnly(const std::vector<std::wstring>& folders);  // these folders alone, in this order

// A file of the given size (a pattern) and last-write time (UTC).
bool MakeFile(const std::wstring& path, ULONGLONG size, const SYSTEMTIME* lastWriteUtc = nullptr);
inline SYSTEMTIME Utc(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) { return SYSTEMTIME{y, mo, 0, d, h, mi, s, 0}; }
// Names in one folder, without "." and ".."; with `deep`, the full paths of every file below it.
std::vector<std::wstring> ListFolder(const std::wstring& folder, bool deep = false);

} // namespace qctest
