// The program's entry: its verdict on every system code, then real starts from
// the simulated player (and one from a fixed drive) driven through their boxes.

#include "foundation/SysQuery.h"
#include "shell/Startup.h"
#include "support/Program.h"

#include <gtest/gtest.h>

using namespace qctest;

namespace {

const wchar_t kAutoplayKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers";
const wchar_t kPoliciesKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
// Wine reports the Windows version named for the program in its AppDefaults,
// so the OS gate meets real answers of other Windows releases.
const wchar_t kAppDefaultsKey[] = L"Software\\Wine\\AppDefaults\\Quavercart.exe";
const wchar_t kUnsupported[] = L"unsupported OS", kNotRemovable[] = L"not launched from the removable drive";

// HKCU values: -1 reads as missing, and setting -1 deletes.
void SetUserDword(const wchar_t* key, const wchar_t* name, long long value) {
    DWORD v = static_cast<DWORD>(value);
    if (value < 0) ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, name);
    else ::RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_DWORD, &v, sizeof v);
}
long long GetUserDword(const wchar_t* key, const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS) return -1;
    return value;
}

TEST(StartupVerdict, EveryOsAndServicePackCode) {
    // Per OS code, the verdict for service-pack codes 0 to 6: Refused, Accepted,
    // asks about removable aUtorun, asks about autoPlay.
    const char* const verdicts[] = {"RRRRRRR", "RRRRRRR", "RRRRRRR", "RRRRRRR", "RRRRRRR",
                                    "RRRRRRR", "RRRAARR", "AAURRRR", "PPPPPPP", "RRRRRRR"};
    for (int os = 0; os < 10; ++os) {
        for (int sp = kSpNone; sp <= kSpOther; ++sp) {
            EXPECT_EQ(verdicts[os][sp], "RAUP"[static_cast<int>(StartupVerdictFor(os, sp))]) << "os " << os << " sp " << sp;
        }
    }
}

// Each row is one start; registry values are -1 when missing.
TEST(Entry, TheSystemDecidesWhatIsAskedAndWhetherTheProgramRuns) {
    struct Case {
        const wchar_t* windows;  // the version Wine reports, or null for its own
        long long autoplay, autorun;
        int answer;               // to the autoplay question, 0 when it must not come
        const wchar_t* error;     // in the box that ends the start, or null when the program runs
        long long autoplayAfter, autorunAfter;
        bool fixedDrive = false;  // started from C:
    } cases[] = {
        {nullptr, 1, -1, IDNO, nullptr, 1, -1},  // asked again at the next start
        {nullptr, 1, -1, IDYES, nullptr, 0, -1},
        {nullptr, 2, -1, 0, nullptr, 2, -1},  // not 1, not asked; every other test starts without the value
        {nullptr, 1, -1, IDNO, kNotRemovable, 1, -1, true},  // the drive is checked after the question
        {L"winxp", 1, -1, 0, kUnsupported, 1, -1},
        {L"win98", 1, -1, 0, kUnsupported, 1, -1},  // refused before the entry's checks
        {L"win2k", 1, 0xFF, 0, nullptr, 1, 0xFF},
        // 5.2 with Service Pack 2, the XP family's second service pack: offers removable autorun.
        {L"winxp64", 1, 0x1FF, IDYES, nullptr, 1, 0xFB},  // the bit cleared, the unknown high bits too
        {L"winxp64", 1, 0x04, IDYES, nullptr, 1, 0x00},  // the removable drives' bit alone
        {L"winxp64", 1, 0xFF, IDNO, nullptr, 1, 0xFF},
        {L"winxp64", 1, 0x91, 0, nullptr, 1, 0x91},
    };
    const std::wstring fixedCopy = L"C:\\qc-fixed\\Quavercart.exe";
    Computer pc = ResetComputer();
    PrepareKnownPlayer(pc, L"MyMusic=1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE("row " + std::to_string(&c - cases));
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaultsKey);
        if (c.windows) ::RegSetKeyValueW(HKEY_CURRENT_USER, kAppDefaultsKey, L"Version", REG_SZ, c.windows, static_cast<DWORD>((wcslen(c.windows) + 1) * 2));
        SetUserDword(kAutoplayKey, L"DisableAutoplay", c.autoplay);
        SetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun", c.autorun);
        ASSERT_TRUE(!c.fixedDrive || (MakeDirs(L"C:\\qc-fixed") && ::CopyFileW(pc.program.c_str(), fixedCopy.c_str(), FALSE)));
        RunningProgram p;
        ASSERT_TRUE(p.Process().Start(c.fixedDrive ? fixedCopy : pc.program));
        // The entry's boxes have no owner.
        HWND owner = nullptr;
        std::wstring question = c.answer ? AnswerBox(p.Process().Id(), L"Startup Setting", c.answer, &owner) : L"startup menu";
        EXPECT_TRUE(question.find(L"startup menu") != std::wstring::npos && !owner) << Narrow(question);
        if (c.error) {
            std::wstring error = AnswerBox(p.Process().Id(), L"Error", IDOK, &owner);
            EXPECT_TRUE(error.find(c.error) != std::wstring::npos && !owner) << Narrow(error);
            EXPECT_TRUE(p.Process().WaitExit(kUiTimeout) && p.Process().ExitCode() == 0);
        } else {
            // No box on the way: the status window opens, its transfer runs, and Exit ends the program.
            ASSERT_TRUE(p.WaitForStatusWindow()) << p.Failure();
            ASSERT_TRUE(p.WaitForIdle()) << Narrow(p.LogText());
            EXPECT_TRUE(p.ExitFromTray());
        }
        EXPECT_EQ(c.autoplayAfter, GetUserDword(kAutoplayKey, L"DisableAutoplay"));
        EXPECT_EQ(c.autorunAfter, GetUserDword(kPoliciesKey, L"NoDriveTypeAutoRun"));
    }
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppDefaultsKey);
    DeleteTree(L"C:\\qc-fixed");
}

} // namespace
