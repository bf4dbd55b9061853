// The program's entry, run for real from the simulated player and driven
// through its message boxes.

#include "support/Program.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

const wchar_t kAutoplayKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const wchar_t kPoliciesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
// Wine reports the Windows version named for the program in its AppDefaults,
// so the OS gate meets real answers of other Windows releases.
const wchar_t kAppDefaultsKey[] = L"Software\\Wine\\AppDefaults\\Quavercart.exe";
const wchar_t kAutoplayQuestion[] =
    L"Do you wish to display the startup menu for Quavercart each time you connect the \"PELIQUO\" to the "
    L"computer?\n\n* Note: This setting is enabled after restarting your OS.\n";

class EntryTest : public ProgramTest {
protected:
    void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaultsKey); }

    // The entry's boxes have no owner; each is checked and answered.
    void Answer(uidrv::Process& p, const std::wstring& caption, const std::wstring& text, int button) {
        HWND owner = HWND(1);
        EXPECT_EQ(text, AnswerBox(p.Id(), caption, button, &owner));
        EXPECT_EQ(nullptr, owner) << "startup boxes have no owner";
    }
    // Every check passed: the status window opens with no box on the way and
    // its transfer runs; the program then ends through the tray menu's Exit.
    void ExpectChecksPass(RunningProgram& program) {
        ASSERT_TRUE(program.WaitForStatusWindow()) << program.Failure();
        ASSERT_TRUE(program.WaitForIdle()) << Narrow(program.LogText());
        EXPECT_TRUE(program.ExitFromTray());
    }
    void ExpectExitZero(uidrv::Process& p) { EXPECT_TRUE(p.WaitExit(kUiTimeout) && p.ExitCode() == 0); }
};

TEST_F(EntryTest, FromAFixedDriveTheRemovableDriveErrorComesAfterTheAutoplayQuestion) {
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

// Each row is one start; the values before and after are -1 when missing.
TEST_F(EntryTest, TheSystemDecidesWhatIsAskedAndWhetherTheProgramRuns) {
    struct Case {
        const wchar_t* windows;  // the version Wine reports, or null for its own
        long long autoplay, autorun;
        const wchar_t* box;  // the question, or the error that ends the start
        int answer;
        long long autoplayAfter, autorunAfter;
        bool banner;  // logged before the box
    } cases[] = {
        {nullptr, 1, -1, kAutoplayQuestion, IDNO, 1, -1, true},  // asked again at the next start
        {nullptr, 1, -1, kAutoplayQuestion, IDYES, 0, -1, true},
        {nullptr, -1, -1, nullptr, 0, -1, -1, true},
        {nullptr, 2, -1, nullptr, 0, 2, -1, true},
        {L"winxp", 1, -1, L"Cannot launch due to unsupported OS.", IDOK, 1, -1, true},
        {L"nt40", 1, -1, L"Cannot launch due to unsupported OS.", IDOK, 1, -1, true},
        {L"win98", 1, -1, L"Cannot launch due to unsupported OS.", IDOK, 1, -1, false},  // refused before the log opens
        {L"win2k", 1, 0xFF, nullptr, 0, 1, 0xFF, true},
        // 5.2 with Service Pack 2, the XP family's second service pack: offers removable autorun.
        {L"winxp64", 1, 0xFF, kAutoplayQuestion, IDYES, 1, 0xFB, true},
        {L"winxp64", 1, 0x1FF, kAutoplayQuestion, IDYES, 1, 0xFB, true},
        {L"winxp64", 1, 0xFF, kAutoplayQuestion, IDNO, 1, 0xFF, true},
        {L"winxp64", 1, 0x91, nullptr, 0, 1, 0x91, true},
        {L"winxp64", 1, -1, nullptr, 0, 1, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.windows ? c.windows : L"this Wine") + " " + std::to_string(c.autoplay) + " " + std::to_string(c.autorun) + " " + std::to_string(c.answer));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaultsKey);
        if (c.windows) ::RegSetKeyValueW(HKEY_CURRENT_USER, kAppDefaultsKey, L"Version", REG_SZ, c.windows, static_cast<DWORD>((wcslen(c.windows) + 1) * 2));
        SetUserDword(kAutoplayKey, L"DisableAutoplay", c.autoplay);
        SetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun", c.autorun);
        ::DeleteFileW(Join(pc.temp, L"Quavercart.log").c_str());
        RunningProgram p;
        ASSERT_TRUE(p.Process().Start(pc.program));
        bool question = c.box == kAutoplayQuestion;
        if (c.box) Answer(p.Process(), question ? L"Startup Setting" : L"Error", c.box, c.answer);
        if (c.box && !question) {
            ExpectExitZero(p.Process());
        } else {
            ExpectChecksPass(p);
        }
        EXPECT_EQ(c.autoplayAfter, GetUserDword(kAutoplayKey, L"DisableAutoplay"));
        EXPECT_EQ(c.autorunAfter, GetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun"));
        std::string log;
        EXPECT_EQ(c.banner, ReadBytes(Join(pc.temp, L"Quavercart.log"), log) && Utf16LeToWide(log).find(L"START APPLICATION") != std::wstring::npos);
    }
}

} // namespace
