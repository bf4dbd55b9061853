#include "engine/WorkThread.h"

#include <errno.h>
#include <process.h>

namespace {
constexpr DWORD kDestructorWaitMs = 10000;
}

CWorkThread::CWorkThread() : m_stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

CWorkThread::~CWorkThread() {
    // The thread is never killed: a job that outlives the wait keeps running
    // on its own, but it must not find the event closed under it.
    if (IsRunning()) {
        StopAndWait(kDestructorWaitMs);
        if (IsRunning()) Abandon();
    }
}

void CWorkThread::Abandon() {
    m_thread.Detach();
    m_stopEvent.Detach();
}

unsigned __stdcall CWorkThread::ThreadMain(void* self) {
    CWorkThread* thread = static_cast<CWorkThread*>(self);
    return thread->Run(thread->m_owner);
}

int CWorkThread::Start(void* owner) {
    if (IsRunning()) return EBUSY;
    m_thread.Reset();
    m_owner = owner;
    uintptr_t handle = ::_beginthreadex(nullptr, 0, &CWorkThread::ThreadMain, this, 0, &m_threadId);
    if (handle == 0) return errno;
    m_thread.Reset(reinterpret_cast<HANDLE>(handle));
    return 0;
}

int CWorkThread::Stop(int mode, DWORD timeoutMs) {
    m_stopRequested = true;
    if (m_stopEvent) ::SetEvent(m_stopEvent.Get());
    if (m_thread && (mode == kStopWaitForever || mode == kStopWaitTimeout)) {
        ::WaitForSingleObject(m_thread.Get(), mode == kStopWaitForever ? INFINITE : timeoutMs);
    }
    return 0;
}

void CWorkThread::StopAndWait(DWORD timeoutMs) { Stop(kStopWaitTimeout, timeoutMs); }

int CWorkThread::IsRunning() const {
    return m_thread && ::WaitForSingleObject(m_thread.Get(), 0) == WAIT_TIMEOUT ? 1 : 0;
}

int CWorkThread::IsStopRequested() const { return m_stopRequested ? 1 : 0; }

void CWorkThread::ResetStop() {
    if (m_stopEvent) ::ResetEvent(m_stopEvent.Get());
    m_stopRequested = false;
}

DWORD CWorkThread::GetExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (!m_thread || !::GetExitCodeThread(m_thread.Get(), &code)) return STILL_ACTIVE;
    return code;
}
