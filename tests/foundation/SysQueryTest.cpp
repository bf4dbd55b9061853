// The system queries and the profile file: the rule tables row by row, and
// the answers of the real system where the program acts on them.

#include "foundation/Profile.h"
#include "foundation/SysQuery.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace qctest;

// The program under other Windows releases is the entry tests'; here the rows
// they cannot reach.
TEST(SysQuery, OsVersionServicePackAndReserveTables) {
    EXPECT_EQ(2, OsVersionCodeFrom(VER_PLATFORM_WIN32_WINDOWS, 5, 0)) << "the 9x family tests minor 0 first";
    EXPECT_EQ(4, OsVersionCodeFrom(VER_PLATFORM_WIN32_WINDOWS, 4, 90));
    const std::pair<const wchar_t*, int> sp[] = {{L"service pack 2", 2}, {L"Service Pack 5", 6}, {L"Service Pack 2a", 6}, {nullptr, 0}};
    for (const auto& c : sp) EXPECT_EQ(c.second, ServicePackCodeFrom(c.first)) << Narrow(c.first ? c.first : L"null");
    // The reserve's units are the search tests' (the capacity keys).
    const ULONGLONG mb20 = 20971520;
    EXPECT_EQ(0xFFFFFFFFull * 1073741824ull, MarginFromUnit(9, 0xFFFFFFFF)) << "computed in 64 bits";
    EXPECT_EQ(0u, UsableAfterMargin(15 * 1048576ull, mb20) + UsableAfterMargin(mb20, mb20));
    EXPECT_EQ(1u, UsableAfterMargin(mb20 + 1, mb20));
    // The free space itself is the capacity tests' (a small real player).
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\") + CFreeSpaceProbe().GetUsableFreeBytes(L"Q:\\")) << "an unanswerable drive has no room";
}

// Making folders is the transfer's; here the failures, which come back from
// the shell now and then without a last error.
TEST(SysQuery, CreateFolderNeverReportsAFailureAsZero) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring file = Join(temp, L"qc-createfolder");
    ASSERT_TRUE(WriteBytes(file, "x"));
    for (const std::wstring& path : {Join(file, L"sub"), file, std::wstring(L"relative"), L"C:\\" + std::wstring(257, L'x'), std::wstring()}) {
        ::SetLastError(0);
        EXPECT_NE(0, CreateFolder(path.c_str())) << Narrow(path);
    }
    ::DeleteFileW(file.c_str());
}

// Quotes and text outside the ANSI code page are the settings tests'.
TEST(Profile, UnicodeFileLongValuesAndAnEmptyPathThatTouchesNothing) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder = Join(temp, L"qc-profile-test"), fits(519, L'v'), cut(520, L'w');
    DeleteTree(folder);
    CProfile profile, none;
    std::string bytes;
    std::wstring got;
    ASSERT_EQ(S_OK, profile.SetProfilePath(Join(folder, L"sub\\u.ini").c_str()));
    ASSERT_TRUE(profile.CreateUnicodeFile() == 1 && ReadBytes(profile.GetProfilePath(), bytes) && bytes == "\xFF\xFE");
    // A value that overflows the first buffer of 520 characters is read again whole.
    EXPECT_TRUE(profile.WriteString(L"S", L"Fits", fits.c_str()) == S_OK && profile.WriteString(L"S", L"Cut", cut.c_str()) == S_OK);
    EXPECT_TRUE(profile.GetString(L"s", L"FITS", L"-", got) == S_OK && got == fits);
    EXPECT_TRUE(profile.GetString(L"s", L"CUT", L"-", got) == S_OK && got == cut) << got.size();
    EXPECT_TRUE(ReadBytes(profile.GetProfilePath(), bytes) && Utf16LeToWide(bytes).find(L"\xFEFF[S]\r\nFits=v") == 0);
    DeleteTree(folder);

    std::wstring out = L"as initialised";
    EXPECT_TRUE(none.GetInt(L"S", L"Count", 12) == 12 && none.GetString(L"S", L"Key", L"-", out) == E_FAIL && out == L"as initialised");
    EXPECT_TRUE(none.WriteString(L"QcProfileTest", L"Key", L"1") == E_FAIL && none.CreateUnicodeFile() == 0);
    wchar_t check[16] = L"";
    ::GetProfileStringW(L"QcProfileTest", L"Key", L"none", check, 16);
    EXPECT_STREQ(L"none", check) << "the platform would have written to a file of the system folder";
}
