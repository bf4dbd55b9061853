#pragma once
// The entry's checks: operating system, single instance, autoplay, drive kind.

#include <windows.h>

extern const wchar_t kInstanceEventName[];
extern const wchar_t kWindowBlockName[];
extern const wchar_t kActivateMessageName[];
constexpr UINT WM_TRAYNOTIFY = WM_USER + 80;

class CInstanceCheck {
public:
    CInstanceCheck() = default;
    virtual ~CInstanceCheck() = default;
    virtual void Check();
    virtual void CheckByEvent();
    int IsFirstInstance() const { return m_firstInstance; }

protected:
    int m_firstInstance = 1;
};

// Decides by a named event in the global namespace, so one instance runs per computer.
class CAppInstanceCheck : public CInstanceCheck {
public:
    void Check() override;
};

// What CheckStartupSetting does for an OS version and service-pack code.
enum class StartupVerdict { Refused, Accepted, AskAutorun, AskAutoplay };
StartupVerdict StartupVerdictFor(int osCode, int servicePackCode);

int CheckStartupSetting();
void ActivateRunningInstance();
void PublishMainWindow(HWND window);
void ShowUnsupportedOSError();
void ShowNotRemovableError();
void ShowAlreadyRunningError();

// The whole entry: the checks, then the application run; returns the exit
// code (always 0).
int RunEntry(HINSTANCE instance, HINSTANCE previous, wchar_t* commandLine, int showCommand);
