#include "foundation/SysQuery.h"
#include "support/Computer.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using namespace qctest;

TEST(OsVersionCode, EveryRowOfTheTable) {
    struct Case {
        const char* release;
        DWORD platform, major, minor;
        int code;
    } cases[] = {
        {"unknown platform", 3, 10, 0, 0},
        {"Win32s", 0, 3, 10, 1},
        {"Windows 95", 1, 4, 0, 2},
        {"9x with minor 0 before major", 1, 5, 0, 2},
        {"Windows 98", 1, 4, 10, 3},
        {"Windows 98 SE", 1, 4, 10, 3},
        {"9x major below 4", 1, 3, 95, 3},
        {"9x 4.89", 1, 4, 89, 3},
        {"Windows Me", 1, 4, 90, 4},
        {"9x major above 4", 1, 5, 1, 4},
        {"NT 4.0", 2, 4, 0, 5},
        {"NT 3.51", 2, 3, 51, 5},
        {"Windows 2000", 2, 5, 0, 6},
        {"Windows XP", 2, 5, 1, 7},
        {"Windows Server 2003", 2, 5, 2, 7},
        {"Windows Vista", 2, 6, 0, 8},
        {"Windows 7", 2, 6, 1, 8},
        {"Windows 10", 2, 10, 0, 8},
    };
    for (const Case& c : cases) EXPECT_EQ(c.code, OsVersionCodeFrom(c.platform, c.major, c.minor)) << c.release;
}

TEST(ServicePackCode, ExactTextsIgnoringAsciiCase) {
    struct Case {
        const wchar_t* text;
        int code;
    } cases[] = {
        {L"", 0},
        {L"Service Pack 1", 1},
        {L"Service Pack 2", 2},
        {L"service pack 2", 2},
        {L"SERVICE PACK 3", 3},
        {L"Service Pack 4", 4},
        {L"Service Pack 5", 6},
        {L"Service Pack 2a", 6},
        {L"Service Pack", 6},
        {L" Service Pack 1", 6},
        {L"Beta", 6},
    };
    for (const Case& c : cases) EXPECT_EQ(c.code, ServicePackCodeFrom(c.text)) << Narrow(c.text);
    EXPECT_EQ(0, ServicePackCodeFrom(nullptr));
}

TEST(ServicePackCode, TheRunningSystemGivesACodeOfTheTable) {
    int code = GetServicePackCode();
    EXPECT_TRUE(code >= 0 && code <= 6 && code != 5) << code;
    EXPECT_NE(0, GetOSVersionCode());
}

TEST(FreeSpaceMargin, UnitFactorsAndTheReserveBoundary) {
    EXPECT_EQ(7u, MarginFromUnit(0, 7));
    EXPECT_EQ(7u * 1024, MarginFromUnit(1, 7));
    EXPECT_EQ(20971520u, MarginFromUnit(2, 20));
    EXPECT_EQ(3ull * 1073741824, MarginFromUnit(3, 3));
    EXPECT_EQ(1073741824ull, MarginFromUnit(0xFFFFFFFF, 1));
    EXPECT_EQ(0xFFFFFFFFull * 1073741824ull, MarginFromUnit(9, 0xFFFFFFFF)) << "computed in 64 bits";

    const ULONGLONG reserve = MarginFromUnit(2, 20);
    EXPECT_EQ(0u, UsableAfterMargin(15 * 1048576ull, reserve));
    EXPECT_EQ(0u, UsableAfterMargin(20971520ull, reserve));
    EXPECT_EQ(1u, UsableAfterMargin(20971521ull, reserve));
    EXPECT_EQ(5 * 1048576ull, UsableAfterMargin(25 * 1048576ull, reserve));
}

TEST(FreeSpaceMargin, UsableBytesOfARealDriveAndOfAMissingOne) {
    SetFreeSpaceMargin(0, 0);
    ULARGE_INTEGER avail, total, free;
    ASSERT_TRUE(::GetDiskFreeSpaceExW(L"C:\\", &avail, &total, &free));
    ULONGLONG usable = GetUsableFreeBytes(L"C:\\");
    CFreeSpaceProbe probe;
    // The free space may move a little between the questions.
    EXPECT_NEAR(static_cast<double>(free.QuadPart), static_cast<double>(usable), 64.0 * 1048576);
    EXPECT_NEAR(static_cast<double>(usable), static_cast<double>(probe.GetUsableFreeBytes(L"C:\\")), 64.0 * 1048576)
        << "the open root answers as the path does";
    SetFreeSpaceMargin(3, 1000000);
    EXPECT_EQ(0u, GetUsableFreeBytes(L"C:\\")) << "a reserve larger than the drive";
    EXPECT_EQ(0u, probe.GetUsableFreeBytes(L"C:\\"));
    EXPECT_EQ(1000000ull * 1073741824ull, GetFreeSpaceMargin());
    SetFreeSpaceMargin(0, 0);
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\no drive here\\")) << "an unanswerable drive has no room";
    EXPECT_EQ(0u, probe.GetUsableFreeBytes(L"Q:\\no drive here\\"));
    SetFreeSpaceMargin(2, 1);
    EXPECT_EQ((usable > 1048576 ? usable - 1048576 : 0) / 1048576 / 64,
              GetUsableFreeMegabytes(L"C:\\") / 64);
    SetFreeSpaceMargin(0, 0);
}

TEST(CreateFolder, EmptyExistingNestedAndBlocked) {
    wchar_t temp[MAX_PATH + 1];
    ::GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base = Join(temp, L"qc-createfolder");
    DeleteTree(base);

    EXPECT_EQ(E_FAIL, CreateFolder(L""));
    EXPECT_EQ(0, CreateFolder(temp)) << "an existing folder";
    std::wstring nested = Join(base, L"a\\b\\c");
    EXPECT_EQ(0, CreateFolder(nested.c_str()));
    EXPECT_TRUE(::PathIsDirectoryW(nested.c_str()));
    EXPECT_EQ(0, CreateFolder(nested.c_str())) << "again";

    std::wstring file = Join(base, L"file");
    ASSERT_TRUE(WriteBytes(file, "x"));
    // A failure is never 0, whatever the last error was before the call.
    const std::wstring failing[] = {Join(file, L"sub"), file, L"relative\\folder", L"C:\\" + std::wstring(257, L'x'),
                                    L"Q:\\no\\such\\drive"};
    for (const std::wstring& path : failing) {
        ::SetLastError(0);
        EXPECT_NE(0, CreateFolder(path.c_str())) << Narrow(path);
    }
    DeleteTree(base);
}

TEST(Uuid, TextOfKnownBytesAndRoundTripOfANewOne) {
    const BYTE bytes[16] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    wchar_t text[37];
    ASSERT_TRUE(UuidToText(bytes, text));
    EXPECT_STREQ(L"00112233-4455-6677-8899-aabbccddeeff", text);

    UUID uuid;
    RfcBytesToUuid(bytes, uuid);
    EXPECT_EQ(0x00112233ul, uuid.Data1);
    EXPECT_EQ(0x4455, uuid.Data2);
    EXPECT_EQ(0x6677, uuid.Data3);
    BYTE back[16];
    UuidToRfcBytes(uuid, back);
    EXPECT_EQ(0, memcmp(bytes, back, 16));

    BYTE fresh[16] = {};
    BYTE other[16] = {};
    ASSERT_TRUE(CreateUuid(fresh));
    ASSERT_TRUE(CreateUuid(other));
    EXPECT_NE(0, memcmp(fresh, other, 16));
    EXPECT_EQ(0x40, fresh[6] & 0xF0) << "version 4 sits in the high nibble of byte 6 in RFC order";
}

TEST(DeviceRoot, IsTheRootOfTheProgramsOwnDrive) {
    wchar_t module[MAX_PATH + 1];
    ::GetModuleFileNameW(nullptr, module, MAX_PATH + 1);
    wchar_t root[MAX_PATH + 1] = L"untouched";
    ASSERT_TRUE(GetDeviceRoot(root));
    EXPECT_EQ(3u, wcslen(root)) << Narrow(root);
    EXPECT_EQ(module[0], root[0]);
    EXPECT_STREQ(L":\\", root + 1);
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), GetDriveKind(L"C:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveKind(L"E:\\")) << "the test prefix's player drive";
}

TEST(DriveStrings, ListsTheRootsEndedByAnExtraZero) {
    wchar_t buffer[255];
    UINT n = GetDriveStrings(buffer);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, 255u);
    EXPECT_EQ(L'\0', buffer[n]);
    bool sawC = false, sawE = false;
    for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) {
        sawC = sawC || _wcsicmp(p, L"C:\\") == 0;
        sawE = sawE || _wcsicmp(p, L"E:\\") == 0;
    }
    EXPECT_TRUE(sawC);
    EXPECT_TRUE(sawE);
}
