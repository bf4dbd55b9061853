#pragma once
// One small owner for every kernel, registry, find and GDI handle and C stream.
// A handle is valid when it is neither null nor INVALID_HANDLE_VALUE; the owner
// closes it exactly once and Detach() hands ownership on.

#include <windows.h>
#include <cstdio>


template <typename T, typename Traits>
class CUniqueHandle {
public:
    CUniqueHandle() noexcept = default;
    explicit CUniqueHandle(T h) noexcept : m_h(h) {}
    ~CUniqueHandle() { Reset(); }
    CUniqueHandle(const CUniqueHandle&) = delete;
    CUniqueHandle& operator=(const CUniqueHandle&) = delete;
    CUniqueHandle(CUniqueHandle&& o) noexcept : m_h(o.Detach()) {}
    CUniqueHandle& operator=(CUniqueHandle&& o) noexcept {
        if (this != &o) Reset(o.Detach());
        return *this;
    }

    bool IsValid() const noexcept { return Traits::IsValid(m_h); }
    explicit operator bool() const noexcept { return IsValid(); }
    T Get() const noexcept { return m_h; }
    T Detach() noexcept {
        T h = m_h;
        m_h = Traits::Invalid();
        return h;
    }
    void Reset(T h = Traits::Invalid()) noexcept {
        if (Traits::IsValid(m_h)) Traits::Close(m_h);
        m_h = h;
    }
    // For out-parameters of APIs that return a handle through a pointer.
    T* Receive() noexcept {
        Reset();
        return &m_h;
    }

private:
    T m_h = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static bool IsValid(HKEY h) noexcept { return h != nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct MappedViewTraits {
    static void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* p) noexcept { return p != nullptr; }
    static void Close(void* p) noexcept { ::UnmapViewOfFile(p); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static bool IsValid(HGDIOBJ h) noexcept { return h != nullptr; }
    static void Close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct HookTraits {
    static HHOOK Invalid() noexcept { return nullptr; }
    static bool IsValid(HHOOK h) noexcept { return h != nullptr; }
    static void Close(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
};
struct MemDcTraits {
    static HDC Invalid() noexcept { return nullptr; }
    static bool IsValid(HDC h) noexcept { return h != nullptr; }
    static void Close(HDC h) noexcept { ::DeleteDC(h); }
};

struct StreamTraits {
    static FILE* Invalid() noexcept { return nullptr; }
    static bool IsValid(FILE* f) noexcept { return f != nullptr; }
    static void Close(FILE* f) noexcept { ::fclose(f); }
};

using CHandle = CUniqueHandle<HANDLE, KernelHandleTraits>;
using CFindHandle = CUniqueHandle<HANDLE, FindHandleTraits>;
using CRegKey = CUniqueHandle<HKEY, RegKeyTraits>;
using CMappedView = CUniqueHandle<void*, MappedViewTraits>;
using CGdiObject = CUniqueHandle<HGDIOBJ, GdiObjectTraits>;
using CMemDc = CUniqueHandle<HDC, MemDcTraits>;
using CHook = CUniqueHandle<HHOOK, HookTraits>;
using CStream = CUniqueHandle<FILE*, StreamTraits>;

// A window's device context from GetDC, released to the same window.
class CWindowDc {
public:
    explicit CWindowDc(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~CWindowDc() {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    CWindowDc(const CWindowDc&) = delete;
    CWindowDc& operator=(const CWindowDc&) = delete;
    HDC Get() const noexcept { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};


// An object selected into a device context for one scope: the context's
// previous object goes back at the end, so the object can then be deleted.
class CSelection {
public:
    CSelection(HDC dc, HGDIOBJ object) noexcept : m_dc(dc), m_old(::SelectObject(dc, object)) {}
    ~CSelection() {
        if (m_old && m_old != HGDI_ERROR) ::SelectObject(m_dc, m_old);
    }
    CSelection(const CSelection&) = delete;
    CSelection& operator=(const CSelection&) = delete;
    bool IsValid() const noexcept { return m_old && m_old != HGDI_ERROR; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A wait for a mutex, and its release at the end of the scope when, and only
// when, the wait gave ownership (an abandoned mutex is owned too).
class CMutexLock {
public:
    CMutexLock(HANDLE mutex, DWORD timeoutMs) noexcept
        : m_mutex(mutex), m_wait(::WaitForSingleObject(mutex, timeoutMs)) {}
    ~CMutexLock() {
        if (IsOwned()) ::ReleaseMutex(m_mutex);
    }
    CMutexLock(const CMutexLock&) = delete;
    CMutexLock& operator=(const CMutexLock&) = delete;
    DWORD WaitResult() const noexcept { return m_wait; }
    bool IsOwned() const noexcept { return m_wait == WAIT_OBJECT_0 || m_wait == WAIT_ABANDONED; }

private:
    HANDLE m_mutex;
    DWORD m_wait;
};

// A menu this program loaded or made; destroying it destroys its submenus.
struct MenuTraits {
    static HMENU Invalid() noexcept { return nullptr; }
    static bool IsValid(HMENU h) noexcept { return h != nullptr; }
    static void Close(HMENU h) noexcept { ::DestroyMenu(h); }
};
using CMenu = CUniqueHandle<HMENU, MenuTraits>;

// The device context of one WM_PAINT: EndPaint validates what BeginPaint
// found invalid, so a paint that returns early cannot loop.
class CPaintDc {
public:
    explicit CPaintDc(HWND window) noexcept : m_window(window), m_dc(::BeginPaint(window, &m_paint)) {}
    ~CPaintDc() {
        if (m_dc) ::EndPaint(m_window, &m_paint);
    }
    CPaintDc(const CPaintDc&) = delete;
    CPaintDc& operator=(const CPaintDc&) = delete;
    HDC Get() const noexcept { return m_dc; }
    PAINTSTRUCT* Paint() noexcept { return &m_paint; }

private:
    HWND m_window;
    PAINTSTRUCT m_paint = {};
    HDC m_dc;
};
