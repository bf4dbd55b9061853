#include "engine/TransferThread.h"

#include "engine/CopyRules.h"
#include "foundation/Application.h"
#include "foundation/SysQuery.h"
#include "resource.h"
#include "store/AppPaths.h"

#include <shlwapi.h>

namespace {
constexpr DWORD kShutdownWaitMs = 10000;
}

CTransferThread::CTransferThread() : m_shutdownEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CTransferThread::~CTransferThread() {
    if (Shutdown()) {
        ResetTransferState();
        return;
    }
    // The thread outlived the wait: its records and events stay as they are
    // (the process ends right after this), so it never runs into freed memory
    // or a closed handle, and the base does not wait for it a second time.
    m_shutdownEvent.Detach();
    Abandon();
}

bool CTransferThread::Shutdown() {
    if (!IsRunning()) return true;
    if (m_shutdownGaveUp) return false;
    // The stop first, so the thread that leaves a box wait sees it at once.
    Stop(kStopNoWait, 0);
    if (m_shutdownEvent) ::SetEvent(m_shutdownEvent.Get());
    // Every wait of the thread ends at the stop or the shutdown event; only a
    // system call that does not return (an unreachable network drive) keeps it.
    Stop(kStopWaitTimeout, kShutdownWaitMs);
    m_shutdownGaveUp = IsRunning() != 0;
    return !m_shutdownGaveUp;
}

void CTransferThread::BindReceiver(CTransferReceiver* receiver) {
    m_receiver = receiver;
    // Kept as values: the thread never calls into the receiver object, which
    // may be going away while the thread finishes.
    m_window = receiver ? receiver->GetTransferWindow() : nullptr;
    m_answerEvent = receiver ? receiver->GetAnswerEvent() : nullptr;
}

void CTransferThread::ResetTransferState() {
    m_totalBytes = 0;
    m_transferredBytes = 0;
    m_progressTick = 0;
    m_lastProgress = -1;
    m_abortFlg = 0;
    m_errorFlg = 0;
    m_folderErrFlg = 0;
    m_successCount = 0;
    m_searchRoots.clear();
    m_currentRoot.clear();
    m_historyPath.clear();
    m_freeSpace.Reset();
    m_extensionTable.clear();
    m_historyIndex.Clear();
    m_candidateIndex.clear();
    m_history.Clear();
    for (auto& entry : m_candidates) delete entry.second;
    m_candidates.clear();
}

bool CTransferThread::SumCandidateSizes() {
    for (const auto& entry : m_candidates) {
        if (IsStopRequested()) return false;
        m_totalBytes += entry.second->GetFileSize();
    }
    return true;
}

unsigned CTransferThread::EndEarly() {
    PostPlain(m_errorFlg ? WM_APP_TRANSFER_INTERRUPTED : WM_APP_TRANSFER_CANCELED, 0, 0);
    ResetTransferState();
    return 1;
}

unsigned CTransferThread::EndCanceled() {
    ResetTransferState();
    PostPlain(WM_APP_TRANSFER_CANCELED, 0, 0);
    return 1;
}

unsigned CTransferThread::Run(void* owner) {
    BindReceiver(static_cast<CTransferReceiver*>(owner));
    ResetTransferState();
    PostPlain(WM_APP_SEARCH_BEGIN, 0, 0);
    if (!SearchFiles()) return EndEarly();
    PostPlain(WM_APP_SEARCH_END, 0, 0);
    const int count = static_cast<int>(m_candidates.size());
    if (!SumCandidateSizes()) return EndEarly();
    PostPlain(WM_APP_SET_PROGRESS_RANGE, 0, 100);

    int position = 1;
    for (auto it = m_candidates.begin(); it != m_candidates.end(); ++it, ++position) {
        if (IsStopRequested()) return EndCanceled();
        CTransferFile& record = *it->second;
        const std::wstring source = record.Path();
        PostCurrentFile(position, count, source);
        PostLogLine(0, IDS_LINE_TRANSFERRING, source);

        const std::wstring dest = record.GetDestPath();
        if (dest.empty()) {
            PostLogLine(1, IDS_LINE_CREATE_FAILED, source);
            ShowMessageBox(IDS_DEST_UNWRITABLE, ::PathFindFileNameW(source.c_str()));
            continue;
        }
        wchar_t buffer[kDestPathChars];
        ::lstrcpynW(buffer, dest.c_str(), kDestPathChars);
        ::PathRemoveFileSpecW(buffer);
        // A failure here is reported by the copy, which tries the folder again.
        if (!::PathFileExistsW(buffer) && CreateFolder(buffer) != 0) m_folderErrFlg = 1;

        ::lstrcpynW(buffer, dest.c_str(), kDestPathChars);
        if (::PathFileExistsW(buffer)) {
            MakeUniqueDestPath(buffer);
            record.SetDestPath(buffer);
        }
        if (IsStopRequested()) return EndCanceled();

        if (!WriteData(source, buffer)) {
            if (m_abortFlg) {
                ResetTransferState();
                return 1;
            }
            continue;
        }
        if (!AppendHistoryAt(m_historyPath.c_str(), record)) {
            ResetTransferState();
            ShowMessageBox(IDS_CREATE_FAILED, kHistoryFileName);
            PostPlain(WM_APP_TRANSFER_INTERRUPTED, 0, 0);
            return 1;
        }
        PostLogLine(1, IDS_LINE_COMPLETE, source);
        ++m_successCount;
    }

    if (IsStopRequested()) {
        PostPlain(WM_APP_TRANSFER_CANCELED, 0, 0);
        ResetTransferState();
        return 1;
    }
    PostPlain(WM_APP_SET_PROGRESS_POS, 0, 100);
    PostPlain(WM_APP_TRANSFER_COMPLETE, 0, m_successCount);
    ResetTransferState();
    return 0;
}

// A null window would post into this thread's own queue, where nobody reads.
bool CTransferThread::PostPlain(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_window && ::PostMessageW(m_window, message, wParam, lParam) != FALSE;
}

bool CTransferThread::PostText(UINT message, WPARAM wParam, wchar_t* text) {
    if (!text) return false;
    if (PostPlain(message, wParam, reinterpret_cast<LPARAM>(text))) return true;
    // Nobody will receive the text, so nobody else will free it.
    FreeTransferText(text);
    return false;
}

namespace {
// A fresh buffer filled from the string table; null only when out of memory.
wchar_t* FormatText(UINT stringId, const wchar_t* argument) {
    wchar_t* text = AllocTransferText();
    if (!text) return nullptr;
    wchar_t format[kTransferTextChars];
    LoadResString(stringId, format, kTransferTextChars);
    ::wsprintfW(text, format, argument);
    return text;
}
} // namespace

bool CTransferThread::PostLogLine(WPARAM replace, UINT stringId, const std::wstring& path) {
    return PostText(WM_APP_LOG_LINE, replace, FormatText(stringId, path.c_str()));
}

void CTransferThread::PostCurrentFile(int position, int count, const std::wstring& path) {
    wchar_t* songs = AllocTransferText();
    wchar_t* file = FormatText(IDS_CURRENT_PATH, path.c_str());
    if (songs && file) {
        wchar_t format[kTransferTextChars];
        LoadResString(IDS_SONG_POSITION, format, kTransferTextChars);
        ::wsprintfW(songs, format, position, count);
        if (PostPlain(WM_APP_CURRENT_FILE, reinterpret_cast<WPARAM>(songs), reinterpret_cast<LPARAM>(file))) {
            return;
        }
    }
    FreeTransferText(songs);
    FreeTransferText(file);
}

void CTransferThread::ShowMessageBox(UINT stringId, const std::wstring& name) {
    // A box that could not be posted will never be answered: no wait then.
    if (!PostText(WM_APP_MESSAGE_BOX, MB_ICONERROR, FormatText(stringId, name.c_str()))) return;
    HANDLE waits[2] = {m_answerEvent, m_shutdownEvent.Get()};
    ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
}

void CTransferThread::PostProgress() {
    if (m_progressTick == 1) {
        double fraction = m_totalBytes ? static_cast<double>(m_transferredBytes) / static_cast<double>(m_totalBytes) : 0.0;
        LPARAM percent = static_cast<LPARAM>(fraction * 100.0);
        // Files that grew since the search can carry the count past the total.
        if (percent > 100) percent = 100;
        // A message per 64 KiB chunk would cost the copy a fifth of its speed
        // in posts and wake-ups that show the same figure again.
        if (percent != m_lastProgress) {
            PostPlain(WM_APP_SET_PROGRESS_POS, 0, percent);
            m_lastProgress = percent;
        }
        m_progressTick = 0;
    }
    ++m_progressTick;
}
