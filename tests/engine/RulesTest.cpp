#include "EngineSupport.h"
#include "engine/CopyRules.h"
#include "engine/TimeStamp.h"

#include <gtest/gtest.h>

using namespace qctest;

TEST(CopyRules, UniqueNamesMegabytesNeededAndTheTextBuffer) {
    ResetPlayer();
    for (const wchar_t* name : {L"twice.b", L"twice (02).b", L"f (02).c\\x"}) ASSERT_TRUE(MakeFile(Src(name), 1));
    // The next free number from (02); the extension after the last dot, or none; a folder's name is taken too.
    for (const auto& c : {std::make_pair(L"twice.b", L"twice (03).b"), {L"a.b.b", L"a.b (02).b"}, {L"a", L"a (02)"},
                          {L"f.c", L"f (03).c"}}) {
        wchar_t path[kDestPathChars];
        ::lstrcpynW(path, Src(c.first).c_str(), kDestPathChars);
        MakeUniqueDestPath(path);
        EXPECT_EQ(Narrow(Src(c.second)), Narrow(path));
    }
    // Whole megabytes remaining minus usable, plus one for a whole kilobyte below a megabyte; never below 1.
    const ULONGLONG MB = 1048576, needed[][3] = {{20 * MB + 1024, 5, 16}, {20 * MB + 1000, 5, 15}, {21 * MB, 5, 16},
                                                 {20 * MB + 0xFFC00, 5, 16}, {3 * MB, 5, 1}, {7 * MB, 0, 7}};
    for (const auto& c : needed) EXPECT_EQ(c[2], MegabytesStillNeeded(c[0], c[1])) << c[0] << " " << c[1];
    // The window frees texts from the process heap: 2,048 zeroed bytes.
    wchar_t* text = AllocTransferText();
    EXPECT_TRUE(text && ::HeapSize(::GetProcessHeap(), 0, text) == 2048 &&
                std::wstring(text, kTransferTextChars) == std::wstring(kTransferTextChars, L'\0'));
    FreeTransferText(text);
}

// A:, B: and the player by name; Q: (a CD-ROM drive without a disc) and Z: (an unknown kind) by kind; a kind
// above 6 fails the search.
TEST(Search, DrivesAndTheReserveOfATornSettingsFile) {
    ResetPlayer();
    WriteComputerSetting(L"AllFolders", L"1");
    CTestThread all, odd;
    all.drives = L"a:\\|B:\\|C:\\|Q:\\|Z:\\|e:\\";
    all.kinds = {{L'a', DRIVE_REMOVABLE}, {L'B', DRIVE_REMOVABLE}, {L'C', DRIVE_FIXED}, {L'Q', DRIVE_CDROM}, {L'Z', 0}};
    odd.drives = L"C:\\", odd.kinds = {{L'C', 7}};
    EXPECT_TRUE(all.BuildSearchRoots() && all.GetSearchRoots() == std::vector<std::wstring>{L"C:\\"});
    EXPECT_TRUE(!odd.BuildSearchRoots() && odd.GetErrorFlg() == 1);
    // A UTF-16 file cut inside its last character is read but not written
    // back, which would complete that character with a stray byte.
    std::string torn, after;
    WriteDeviceSetting(L"DiskSpace", L"SizeType", L"1"), WriteDeviceSetting(L"DiskSpace", L"Margin", L"12abc");
    ASSERT_TRUE(ReadBytes(DeviceIniPath(), torn));
    torn.pop_back();
    ASSERT_TRUE(WriteBytes(DeviceIniPath(), torn) && all.LoadCapacitySettings());
    EXPECT_TRUE(GetFreeSpaceMargin() == 12 * 1024 && ReadBytes(DeviceIniPath(), after) && after == torn);
}

// This program runs with TZ=Europe/Berlin: UTC+1 in winter, UTC+2 in summer.
TEST(TimeStamp, EachTimeWithTheOffsetInForceAtThatTime) {
    TIME_ZONE_INFORMATION zone;
    ASSERT_TRUE(::GetTimeZoneInformation(&zone) != TIME_ZONE_ID_UNKNOWN && zone.DaylightBias != 0) << "no summer time";
    const std::pair<SYSTEMTIME, std::string> cases[] = {
        {Utc(2007, 1, 5, 11, 0, 0), "20070105120000"}, {Utc(2007, 7, 5, 10, 0, 0), "20070705120000"},
        {Utc(2006, 12, 31, 23, 30, 5), "20070101003005"}, {Utc(2007, 3, 25, 0, 59, 59), "20070325015959"},
        {Utc(2007, 3, 25, 1, 0, 0), "20070325030000"}};
    for (const auto& c : cases) {
        FILETIME ft;
        wchar_t text[kTimeStampChars + 1], once[kTimeStampChars + 1];  // once: the zone's rules taken once
        ASSERT_TRUE(::SystemTimeToFileTime(&c.first, &ft) && MakeTimeStampText(ft, text) && MakeTimeStampText(ft, once, &zone));
        EXPECT_EQ(c.second + " " + c.second, Narrow(text) + " " + Narrow(once));
    }
}
