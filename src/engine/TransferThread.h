#pragma once
// One transfer on a thread of its own: search the computer for music files
// that the player has not received yet, then copy them oldest first and record
// each in the history. Everything it reports goes to a CTransferReceiver
// through the posted messages of TransferMessages.h; where the user must
// acknowledge a failure it waits for the receiver's answer event.

#include "engine/MatchIndex.h"
#include "engine/TransferMessages.h"
#include "engine/WorkThread.h"
#include "foundation/SysQuery.h"
#include "store/TransferHistory.h"

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CTransferThread : public CWorkThread {
public:
    using Candidates = std::multimap<std::wstring, CTransferFile*>;
    using ExtensionTable = std::map<std::wstring, std::wstring>;

    CTransferThread();
    ~CTransferThread() override;

    int Start(CTransferReceiver* receiver) { return CWorkThread::Start(receiver); }
    // Owner: the CTransferReceiver given to Start. 0 after a transfer that went
    // through every candidate, 1 after every other end.
    unsigned Run(void* owner) override;

    // Ends a running transfer for good: stops it, releases a wait for a box
    // that will never be answered, and waits up to 10,000 ms for the thread
    // to end. False when it still runs (a search stuck on an unreachable
    // drive): then nothing it uses may be freed, and the process is ending.
    bool Shutdown();

    void ResetTransferState();
    bool SumCandidateSizes();

    // The search.
    bool SearchFiles();
    bool BuildSearchRoots();
    bool LoadExtensionTable();
    bool LoadCapacitySettings();
    bool LoadHistory();
    bool ScanFolder(std::wstring folder);
    bool IsTransferTarget(const wchar_t* name) const;
    std::wstring GetDestinationPath(const std::wstring& sourcePath) const;
    bool IsKnownCandidate(const CTransferFile& record);

    // The copy of one file; true when the destination holds the whole file
    // under its final name.
    bool WriteData(std::wstring source, std::wstring dest);

    // The receiver of messages for a transfer; Run binds the owner itself.
    void BindReceiver(CTransferReceiver* receiver);

    const Candidates& GetCandidates() const { return m_candidates; }
    const ExtensionTable& GetExtensionTable() const { return m_extensionTable; }
    const std::vector<std::wstring>& GetSearchRoots() const { return m_searchRoots; }
    const CTransferHistory& GetHistory() const { return m_history; }
    void SetCurrentSearchRoot(const std::wstring& root) { m_currentRoot = root; }
    ULONGLONG GetTotalBytes() const { return m_totalBytes; }
    void SetTotalBytes(ULONGLONG bytes) { m_totalBytes = bytes; }
    ULONGLONG GetTransferredBytes() const { return m_transferredBytes; }
    void SetTransferredBytes(ULONGLONG bytes) { m_transferredBytes = bytes; }
    DWORD GetProgressTick() const { return m_progressTick; }
    int GetAbortFlg() const { return m_abortFlg; }
    int GetErrorFlg() const { return m_errorFlg; }
    int GetFolderErrFlg() const { return m_folderErrFlg; }
    void SetFolderErrFlg(int flag) { m_folderErrFlg = flag; }
    int GetSuccessCount() const { return m_successCount; }

protected:
    // The drive queries of the search over all drives, apart so that a test
    // can stand in for drives the machine does not have.
    virtual UINT QueryDriveStrings(wchar_t* buffer);
    virtual UINT QueryDriveKind(const wchar_t* root);
    // The file objects of one copy; a test can stand in for a failing medium.
    enum class FileRole { kSource, kDestination };
    virtual std::unique_ptr<CSysFile> NewFileObject(FileRole role);

private:
    unsigned EndEarly();
    unsigned EndCanceled();
    bool AddCandidate(CTransferFile* record);
    void IndexHistory();
    bool CopyToDestination(CSysFile& source, const std::wstring& sourcePath, ULONGLONG size,
                           const std::wstring& destPath);

    // Posting. A text that cannot be posted is freed here.
    bool PostPlain(UINT message, WPARAM wParam, LPARAM lParam);
    bool PostText(UINT message, WPARAM wParam, wchar_t* text);
    bool PostLogLine(WPARAM replace, UINT stringId, const std::wstring& path);
    void PostCurrentFile(int position, int count, const std::wstring& path);
    // Shows a box through the receiver and waits until it has been closed.
    void ShowMessageBox(UINT stringId, const std::wstring& name);
    void PostProgress();

    CTransferReceiver* m_receiver = nullptr;
    HWND m_window = nullptr;
    HANDLE m_answerEvent = nullptr;
    CHandle m_shutdownEvent;
    bool m_shutdownGaveUp = false;

    ExtensionTable m_extensionTable;
    ULONGLONG m_totalBytes = 0;
    ULONGLONG m_transferredBytes = 0;
    DWORD m_progressTick = 0;
    LPARAM m_lastProgress = -1;  // the percentage posted last in this transfer
    Candidates m_candidates;
    CTransferHistory m_history;
    std::vector<std::wstring> m_searchRoots;
    std::wstring m_currentRoot;
    // Built once per transfer: building it reads the player's identity file
    // and the user's folder settings, several times the cost of the append.
    std::wstring m_historyPath;
    CFreeSpaceProbe m_freeSpace;  // the player's root, open for one transfer
    int m_abortFlg = 0;
    int m_errorFlg = 0;
    int m_folderErrFlg = 0;
    int m_successCount = 0;

    // Match indexes over the history and the candidates; they hold no records.
    CMatchIndex m_historyIndex;
    std::unordered_multimap<size_t, Candidates::iterator> m_candidateIndex;
};
