#pragma once
// A thread that runs one job and can be asked to stop. The stop request is a
// manual-reset event that the job polls; it stays set until ResetStop.

#include "foundation/Handle.h"

#include <atomic>

class CWorkThread {
public:
    enum StopMode { kStopNoWait = 0, kStopWaitForever = 1, kStopWaitTimeout = 2 };

    CWorkThread();
    virtual ~CWorkThread();
    CWorkThread(const CWorkThread&) = delete;
    CWorkThread& operator=(const CWorkThread&) = delete;

    // Executed on the new thread; its result is the thread's exit code.
    virtual unsigned Run(void* owner) = 0;

    // 0, or the C runtime's errno when no thread could be made (EBUSY while
    // the previous job still runs).
    int Start(void* owner);
    int Stop(int mode, DWORD timeoutMs);
    int IsRunning() const;
    int IsStopRequested() const;
    void ResetStop();
    // The exit code of the last thread once it has ended; STILL_ACTIVE before.
    DWORD GetExitCode() const;
    DWORD GetThreadId() const { return m_threadId; }
    HANDLE GetThreadHandle() const { return m_thread.Get(); }

protected:
    void* GetOwner() const { return m_owner; }
    // Sets the stop request and waits until the thread has ended; derived
    // destructors call it before they free anything the thread may use.
    void StopAndWait(DWORD timeoutMs);
    // Lets go of a thread that did not end in time without closing anything it
    // waits on; the thread is never killed.
    void Abandon();

private:
    static unsigned __stdcall ThreadMain(void* self);

    CHandle m_thread;
    unsigned m_threadId = 0;
    CHandle m_stopEvent;
    // Mirrors the event, which only Stop and ResetStop change: the job polls
    // for every directory entry and every chunk, and asking the kernel each
    // time would cost more than the work itself.
    std::atomic<bool> m_stopRequested{false};
    void* m_owner = nullptr;
};
