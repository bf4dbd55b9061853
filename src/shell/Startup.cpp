#include "shell/Startup.h"

#include "foundation/Handle.h"
#include "foundation/MiniLog.h"
#include "foundation/SysQuery.h"
#include "foundation/Application.h"
#include "shell/AppRun.h"
#include "shell/ResText.h"
#include "resource.h"

#include <shlwapi.h>
#include <objbase.h>

#include <vector>

const wchar_t kInstanceEventName[] = L"Global\\{31DC7011-E141-4a76-AF07-E0127103ED06}Quavercart";
const wchar_t kWindowBlockName[] = L"Global\\{B763BF37-A061-44a7-9CDF-AFF8462D4346}";
const wchar_t kActivateMessageName[] = L"Global\\{32B9028E-357E-4a34-B203-3B29CD3388A7}";

namespace {

// The objects that mark this instance and publish its window: other
// processes look for them for as long as this one runs.
void KeepUntilExit(HANDLE handle) {
    static std::vector<CHandle> kept;
    if (handle) kept.emplace_back(handle);
}

bool ModuleBaseName(wchar_t (&name)[MAX_PATH + 1]) {
    DWORD n = ::GetModuleFileNameW(nullptr, name, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH + 1) return false;
    ::PathRemoveExtensionW(name);
    ::PathStripPathW(name);
    return true;
}

HANDLE CreateWindowBlock() {
    return ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, 8,
                                kWindowBlockName);
}

DWORD ReadDword(HKEY key, const wchar_t* valueName) {
    DWORD size = 0;
    if (::RegQueryValueExW(key, valueName, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return 0;
    DWORD value = 0;
    size = sizeof value;
    if (::RegQueryValueExW(key, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS) {
        return 0;
    }
    return value;
}

bool AskStartupQuestion() {
    return ResMessageBox(nullptr, IDS_STARTUP_SETTING, ResText(IDS_AUTOPLAY_QUESTION), MB_YESNO | MB_ICONINFORMATION) ==
           IDYES;
}

// Opens (or creates) the key, asks when `ask` says the value disables the
// drive's start menu, and writes `fix` of the value on Yes.
template <typename Ask, typename Fix>
void OfferStartupSetting(const wchar_t* keyPath, const wchar_t* valueName, Ask ask, Fix fix) {
    CRegKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, const_cast<wchar_t*>(L""), REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, key.Receive(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    DWORD value = ReadDword(key.Get(), valueName);
    if (!ask(value) || !AskStartupQuestion()) return;
    DWORD fixed = fix(value);
    ::RegSetValueExW(key.Get(), valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&fixed), sizeof fixed);
}

// The fallback speaks where the string table cannot be read.
void ShowStartupError(UINT textId, const wchar_t* fallbackText) {
    std::wstring caption = ResText(IDS_ERROR_CAPTION);
    std::wstring text = ResText(textId);
    if (fallbackText && (caption.empty() || text.empty())) {
        caption = L"Quavercart";
        text = fallbackText;
    }
    CountedMessageBox(nullptr, text.c_str(), caption.c_str(), MB_ICONHAND);
}

} // namespace

void CInstanceCheck::Check() {
    wchar_t name[MAX_PATH + 1];
    if (!ModuleBaseName(name)) {
        m_firstInstance = 0;
        return;
    }
    HANDLE mutex = ::CreateMutexW(nullptr, TRUE, name);
    if (!mutex || ::GetLastError() == ERROR_ALREADY_EXISTS) m_firstInstance = 0;
    KeepUntilExit(mutex);
}

void CInstanceCheck::CheckByEvent() {
    wchar_t name[MAX_PATH + 1];
    if (!ModuleBaseName(name)) {
        m_firstInstance = 0;
        return;
    }
    HANDLE event = ::CreateEventW(nullptr, FALSE, TRUE, name);
    if (::WaitForSingleObject(event, 0) != WAIT_OBJECT_0) m_firstInstance = 0;
    KeepUntilExit(event);
}

void CAppInstanceCheck::Check() {
    wchar_t module[MAX_PATH + 1];
    DWORD n = ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    if (n == 0 || n >= MAX_PATH + 1) {
        m_firstInstance = 0;
        return;
    }
    // Holding the event keeps its signal consumed, so later instances find none.
    HANDLE event = ::CreateEventW(nullptr, FALSE, TRUE, kInstanceEventName);
    if (::WaitForSingleObject(event, 0) != WAIT_OBJECT_0) m_firstInstance = 0;
    KeepUntilExit(event);
}

StartupVerdict StartupVerdictFor(int osCode, int servicePackCode) {
    switch (osCode) {
    case kOsWin2000:
        return (servicePackCode == 3 || servicePackCode == 4) ? StartupVerdict::Accepted : StartupVerdict::Refused;
    case kOsWinXp:
        if (servicePackCode == 0 || servicePackCode == 1) return StartupVerdict::Accepted;
        if (servicePackCode == 2) return StartupVerdict::AskAutorun;
        return StartupVerdict::Refused;
    case kOsVistaOrLater:
        return StartupVerdict::AskAutoplay;
    default:
        return StartupVerdict::Refused;
    }
}

int CheckStartupSetting() {
    int os = GetOSVersionCode();
    int sp = (os == kOsWin2000 || os == kOsWinXp) ? GetServicePackCode() : kSpNone;
    switch (StartupVerdictFor(os, sp)) {
    case StartupVerdict::Refused:
        ShowUnsupportedOSError();
        return 0;
    case StartupVerdict::Accepted:
        return 1;
    case StartupVerdict::AskAutorun:
        OfferStartupSetting(
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", L"NoDriveTypeAutoRun",
            [](DWORD v) { return (v & 0x04u) != 0; }, ClearRemovableAutorunBit);
        return 1;
    case StartupVerdict::AskAutoplay:
        OfferStartupSetting(
            L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers", L"DisableAutoplay",
            [](DWORD v) { return v == 1; }, [](DWORD) -> DWORD { return 0; });
        return 1;
    }
    return 1;
}

void ActivateRunningInstance() {
    CHandle block(CreateWindowBlock());
    if (!block) {
        UINT message = ::RegisterWindowMessageW(kActivateMessageName);
        ::PostMessageW(HWND_BROADCAST, message, 0, 0);
        return;
    }
    CMappedView view(::MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view) return;
    // The block holds the handle as 32 bits, which is all of a window handle's value.
    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(*static_cast<const DWORD*>(view.Get())));
    if (::IsWindow(window)) {
        ::SetForegroundWindow(window);
        ::PostMessageW(window, WM_TRAYNOTIFY, 0, WM_LBUTTONDBLCLK);
    }
}

void PublishMainWindow(HWND window) {
    HANDLE block = CreateWindowBlock();
    if (!block) return;
    // The named block must outlive this call for a second instance to find it.
    KeepUntilExit(block);
    CMappedView view(::MapViewOfFile(block, FILE_MAP_WRITE, 0, 0, 0));
    if (!view) return;
    *static_cast<DWORD*>(view.Get()) = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
}

void ShowUnsupportedOSError() {
    ShowStartupError(IDS_UNSUPPORTED_OS, L"Cannot launch due to unsupported OS.");
}

void ShowNotRemovableError() { ShowStartupError(IDS_NOT_REMOVABLE, nullptr); }

void ShowAlreadyRunningError() { ShowStartupError(IDS_ALREADY_RUNNING, nullptr); }

namespace {
void InitLog() {
    wchar_t module[MAX_PATH + 1];
    wchar_t temp[MAX_PATH + 1];
    DWORD m = ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    DWORD t = ::GetTempPathW(MAX_PATH + 1, temp);
    if (m == 0 || m >= MAX_PATH + 1 || t == 0 || t > MAX_PATH + 1) return;
    wchar_t logPath[MAX_PATH + 1];
    if (MakeLogPath(module, temp, logPath)) CMiniLog::Init(logPath, CMiniLog::kNoLevel);
}
} // namespace

int RunEntry(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine, int showCommand) {
    int os = GetOSVersionCode();
    if (os == kOsUnknown || os == kOsWin98) {
        ShowUnsupportedOSError();
        return 0;
    }
    ::CoInitialize(nullptr);
    CApplication::Init(instance, previous, commandLine, showCommand);
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    InitLog();
    CMiniLog(-1).Write(L"");
    CMiniLog(-1).Write(L"");
    CMiniLog(-1).Write(L"---------------------------------------------");
    CMiniLog(-1).Write(L"START APPLICATION ---------------------------");
    CMiniLog(-1).Write(L"---------------------------------------------");

    CAppInstanceCheck instanceCheck;
    instanceCheck.Check();
    if (!instanceCheck.IsFirstInstance()) {
        ShowAlreadyRunningError();
        ActivateRunningInstance();
        return 0;
    }
    if (!CheckStartupSetting()) return 0;

    wchar_t root[MAX_PATH + 1] = L"";
    GetDeviceRoot(root);
    if (::GetDriveTypeW(root) != DRIVE_REMOVABLE) {
        ShowNotRemovableError();
        return 0;
    }
    RunStatusDialog();
    ::CoUninitialize();
    return 0;
}
