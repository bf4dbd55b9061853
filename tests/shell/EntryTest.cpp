// The program's entry, run for real from the simulated player and driven
// through its message boxes.

#include "foundation/Handle.h"
#include "shell/Startup.h"
#include "support/Computer.h"
#include "support/Program.h"
#include "uidriver/UiDriver.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

const wchar_t kAutoplayKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const wchar_t kAutoplayQuestion[] =
    L"Do you wish to display the startup menu for Quavercart each time you connect the \"PELIQUO\" to the "
    L"computer?\n\n* Note: This setting is enabled after restarting your OS.\n";
const DWORD kTimeout = 30000;

class EntryTest : public ::testing::Test {
protected:
    // A player this computer knows: the entry's checks, not a first start's settings.
    void SetUp() override {
        pc = ResetComputer();
        PrepareKnownPlayer(pc, L"MyMusic=1\r\nDeskTop=1\r\n");
    }

    // Waits for the program's next message box, checks it and presses a button.
    void Answer(uidrv::Process& p, const std::wstring& caption, const std::wstring& text, int button) {
        HWND box = uidrv::WaitForMessageBox(p.Id(), kTimeout);
        ASSERT_NE(nullptr, box) << "no message box for: " << Narrow(text);
        uidrv::MessageBoxInfo info = uidrv::ReadMessageBox(box);
        EXPECT_EQ(caption, info.caption);
        EXPECT_EQ(text, info.text);
        EXPECT_EQ(nullptr, ::GetWindow(box, GW_OWNER)) << "startup boxes have no owner";
        ASSERT_TRUE(uidrv::ClickButton(box, button));
        ASSERT_TRUE(uidrv::WaitForNoWindow({L"#32770", caption, p.Id(), true}, kTimeout));
    }

    // Every check passed: the status window opens, with no box on the way;
    // the program then ends cleanly through the tray menu's Exit.
    void ExpectChecksPass(RunningProgram& program) {
        ASSERT_TRUE(program.WaitForStatusWindow()) << program.Failure();
        ASSERT_TRUE(program.WaitForIdle()) << Narrow(program.LogText());
        EXPECT_TRUE(program.ExitFromTray());
    }

    void ExpectExitZero(uidrv::Process& p) {
        ASSERT_TRUE(p.WaitExit(kTimeout));
        EXPECT_EQ(0u, p.ExitCode());
    }

    std::wstring Log(const wchar_t* name) {
        std::string bytes;
        if (!ReadBytes(Join(pc.temp, name), bytes)) return L"";
        return Utf16LeToWide(bytes);
    }

    Computer pc;
};

TEST_F(EntryTest, FromAFixedDriveShowsTheRemovableDriveError) {
    std::wstring fixed = L"C:\\qc-fixed\\Quavercart.exe";
    ASSERT_TRUE(MakeDirs(L"C:\\qc-fixed"));
    ASSERT_TRUE(::CopyFileW(pc.builtProgram.c_str(), fixed.c_str(), FALSE));
    uidrv::Process p;
    ASSERT_TRUE(p.Start(fixed));
    Answer(p, L"Error", L"Application was not launched from the removable drive.\n", IDOK);
    ExpectExitZero(p);
    DeleteTree(L"C:\\qc-fixed");
}

TEST_F(EntryTest, FromTheRemovableDriveEveryCheckPassesAndTheBannerIsLogged) {
    RunningProgram p;
    ASSERT_TRUE(p.Process().Start(pc.program));
    ExpectChecksPass(p);
    std::wstring log = Log(L"Quavercart.log");
    const wchar_t* banner[] = {L"", L"", L"---------------------------------------------",
                               L"START APPLICATION ---------------------------",
                               L"---------------------------------------------"};
    size_t pos = 0;
    for (const wchar_t* line : banner) {
        size_t end = log.find(L"\r\n", pos);
        ASSERT_NE(std::wstring::npos, end) << Narrow(log);
        ASSERT_GE(end - pos, 24u);
        EXPECT_EQ(std::wstring(line), log.substr(pos + 24, end - pos - 24));
        pos = end + 2;
    }
    EXPECT_NE(std::wstring::npos, log.find(L"OnBtnTransfer() : TransferFlg ON", pos)) << "then the window's first transfer";
}

TEST_F(EntryTest, ASecondInstanceSaysSoAndBringsTheFirstForward) {
    // This test plays the first instance: it holds the instance event and has
    // published a window of its own.
    CHandle event(::CreateEventW(nullptr, FALSE, TRUE, kInstanceEventName));
    ASSERT_TRUE(event.IsValid());
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(event.Get(), 0));
    HWND first = ::CreateWindowExW(0, L"STATIC", L"first instance", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                   nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, first);
    PublishMainWindow(first);

    uidrv::Process p;
    ASSERT_TRUE(p.Start(pc.program));
    Answer(p, L"Error", L"Quavercart cannot be launched as it is already running.", IDOK);
    ExpectExitZero(p);

    MSG msg;
    bool activated = false;
    DWORD start = ::GetTickCount();
    while (!activated && ::GetTickCount() - start < 5000) {
        while (::PeekMessageW(&msg, first, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TRAYNOTIFY && msg.wParam == 0 && msg.lParam == WM_LBUTTONDBLCLK) activated = true;
        }
        ::Sleep(10);
    }
    EXPECT_TRUE(activated) << "the first instance got the simulated double-click";
    ::DestroyWindow(first);

    event.Reset();
    RunningProgram third;
    ASSERT_TRUE(third.Process().Start(pc.program));
    ExpectChecksPass(third);
}

TEST_F(EntryTest, AutoplayQuestionYesSwitchesItOnNoAsksAgainNextStart) {
    SetUserDword(kAutoplayKey, L"DisableAutoplay", 1);
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        RunningProgram p;
        ASSERT_TRUE(p.Process().Start(pc.program));
        Answer(p.Process(), L"Startup Setting", kAutoplayQuestion, IDNO);
        ExpectChecksPass(p);
        EXPECT_EQ(1, GetUserDword(kAutoplayKey, L"DisableAutoplay"));
    }
    RunningProgram p;
    ASSERT_TRUE(p.Process().Start(pc.program));
    Answer(p.Process(), L"Startup Setting", kAutoplayQuestion, IDYES);
    ExpectChecksPass(p);
    EXPECT_EQ(0, GetUserDword(kAutoplayKey, L"DisableAutoplay"));
}

TEST_F(EntryTest, AutoplayIsAskedOnlyWhenTheValueIsOne) {
    for (long long value : {-1LL, 0LL, 2LL}) {
        SCOPED_TRACE(value);
        if (value < 0) {
            DeleteUserValue(kAutoplayKey, L"DisableAutoplay");
        } else {
            SetUserDword(kAutoplayKey, L"DisableAutoplay", static_cast<DWORD>(value));
        }
        RunningProgram p;
        ASSERT_TRUE(p.Process().Start(pc.program));
        ExpectChecksPass(p);
        EXPECT_EQ(value, GetUserDword(kAutoplayKey, L"DisableAutoplay"));
    }
}

TEST_F(EntryTest, TheRemovableDriveCheckComesAfterTheAutoplayQuestion) {
    SetUserDword(kAutoplayKey, L"DisableAutoplay", 1);
    ASSERT_TRUE(MakeDirs(L"C:\\qc-fixed"));
    ASSERT_TRUE(::CopyFileW(pc.builtProgram.c_str(), L"C:\\qc-fixed\\Quavercart.exe", FALSE));
    uidrv::Process p;
    ASSERT_TRUE(p.Start(L"C:\\qc-fixed\\Quavercart.exe"));
    Answer(p, L"Startup Setting", kAutoplayQuestion, IDNO);
    Answer(p, L"Error", L"Application was not launched from the removable drive.\n", IDOK);
    ExpectExitZero(p);
    DeleteTree(L"C:\\qc-fixed");
}

TEST_F(EntryTest, AModuleWithTwoDotsLogsUnderItsFirstName) {
    std::wstring program = Join(pc.playerRoot, L"a.b.exe");
    ASSERT_TRUE(::CopyFileW(pc.builtProgram.c_str(), program.c_str(), FALSE));
    ::DeleteFileW(Join(pc.temp, L"a.log").c_str());
    RunningProgram p;
    ASSERT_TRUE(p.Process().Start(program));
    ExpectChecksPass(p);
    EXPECT_NE(std::wstring::npos, Log(L"a.log").find(L"START APPLICATION")) << "a.b.exe logs to a.log";
    EXPECT_FALSE(FileExists(Join(pc.temp, L"a.b.log")));
    ::DeleteFileW(Join(pc.temp, L"a.log").c_str());
}

// Wine reports the Windows version named for the program in its AppDefaults,
// so the OS gate meets real answers of other Windows releases.
class EntryOnOtherWindowsTest : public EntryTest {
protected:
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaultsKey); }

    void PretendWindows(const wchar_t* version) {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kAppDefaultsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                   nullptr, &key, nullptr));
        ::RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                         static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t)));
        ::RegCloseKey(key);
    }

    static constexpr const wchar_t* kAppDefaultsKey = L"Software\\Wine\\AppDefaults\\Quavercart.exe";
    static constexpr const wchar_t* kPoliciesKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
};

TEST_F(EntryOnOtherWindowsTest, RefusedReleasesShowTheUnsupportedOsError) {
    struct Case {
        const wchar_t* version;
        bool bannerLogged;  // the 9x gate comes before the log is opened
    } cases[] = {{L"winxp", true}, {L"nt40", true}, {L"win98", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.version));
        ::DeleteFileW(Join(pc.temp, L"Quavercart.log").c_str());
        PretendWindows(c.version);
        SetUserDword(kAutoplayKey, L"DisableAutoplay", 1);
        uidrv::Process p;
        ASSERT_TRUE(p.Start(pc.program));
        Answer(p, L"Error", L"Cannot launch due to unsupported OS.", IDOK);
        ExpectExitZero(p);
        EXPECT_EQ(c.bannerLogged, Log(L"Quavercart.log").find(L"START APPLICATION") != std::wstring::npos);
    }
}

TEST_F(EntryOnOtherWindowsTest, Windows2000WithServicePack4AsksNothing) {
    PretendWindows(L"win2k");
    SetUserDword(kAutoplayKey, L"DisableAutoplay", 1);
    SetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun", 0xFF);
    RunningProgram p;
    ASSERT_TRUE(p.Process().Start(pc.program));
    ExpectChecksPass(p);
    EXPECT_EQ(0xFF, GetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun"));
}

TEST_F(EntryOnOtherWindowsTest, XpServicePack2OffersRemovableAutorunAndMasksTheValue) {
    PretendWindows(L"winxp64");  // 5.2 with Service Pack 2: the XP family's second service pack
    struct Case {
        long long before;  // -1: missing
        int answer;        // 0: no question expected
        long long after;
    } cases[] = {
        {0xFF, IDYES, 0xFB}, {0x1FF, IDYES, 0xFB}, {0xFF, IDNO, 0xFF}, {0x91, 0, 0x91}, {-1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        if (c.before < 0) {
            DeleteUserValue(kPoliciesKey, L"NoDriveTypeAutoRun");
        } else {
            SetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun", static_cast<DWORD>(c.before));
        }
        RunningProgram p;
        ASSERT_TRUE(p.Process().Start(pc.program));
        if (c.answer) Answer(p.Process(), L"Startup Setting", kAutoplayQuestion, c.answer);
        ExpectChecksPass(p);
        EXPECT_EQ(c.after, GetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun"));
    }
}

} // namespace
