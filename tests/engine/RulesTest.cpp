#include "EngineSupport.h"
#include "engine/CopyRules.h"
#include "engine/MatchIndex.h"
#include "engine/TimeStamp.h"

#include <gtest/gtest.h>

using namespace qctest;

TEST(CopyRules, UniqueNamesMegabytesNeededAndTheTextBuffer) {
    ResetPlayer();
    for (const wchar_t* name : {L"song.mp3", L"readme", L"twice.mp3", L"twice (02).mp3", L"a.b.mp3", L"f (02).wma\\x"}) {
        ASSERT_TRUE(MakeFile(Src(name), 1));
    }
    // (02) first, then the next free number; the extension after the last dot; a folder's name is taken too.
    const wchar_t* names[][2] = {{L"song.mp3", L"song (02).mp3"}, {L"twice.mp3", L"twice (03).mp3"},
                                 {L"readme", L"readme (02)"}, {L"a.b.mp3", L"a.b (02).mp3"}, {L"f.wma", L"f (03).wma"}};
    for (const auto& c : names) {
        wchar_t path[kDestPathChars];
        ::lstrcpynW(path, Src(c[0]).c_str(), kDestPathChars);
        MakeUniqueDestPath(path);
        EXPECT_EQ(Narrow(Src(c[1])), Narrow(path));
    }
    // Whole megabytes remaining minus usable, plus one for a whole kilobyte below a megabyte; never below 1.
    const ULONGLONG MB = 1048576, needed[][3] = {{20 * MB, 5, 15}, {20 * MB + 1024, 5, 16}, {20 * MB + 1000, 5, 15},
                                                 {20 * MB + 0xFFC00, 5, 16}, {21 * MB, 5, 16}, {3 * MB, 5, 1},
                                                 {5 * MB + 100, 5, 1}, {7 * MB, 0, 7}};
    for (const auto& c : needed) EXPECT_EQ(c[2], MegabytesStillNeeded(c[0], c[1])) << c[0] << " " << c[1];
    SetFreeSpaceMargin(0, 0);
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\")) << "a drive that cannot be asked has no room";
    // The window frees texts from the process heap: 2,048 zeroed bytes.
    wchar_t* text = AllocTransferText();
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(2048u, ::HeapSize(::GetProcessHeap(), 0, text));
    EXPECT_EQ(std::wstring(kTransferTextChars, L'\0'), std::wstring(text, kTransferTextChars));
    FreeTransferText(text);
}

TEST(MatchIndex, OnlyAToZFoldAndEveryRecordSurvivesGrowthAndRemoval) {
    std::vector<CTransferFile> records(40);
    CTransferFile probe;
    CMatchIndex index;  // grows from 16 slots while it holds records
    for (size_t i = 0; i < records.size(); ++i) {
        records[i].SetTimeStamp(L"20070314093005");
        records[i].SetFileSize(i % 3);
        records[i].SetPath((L"C:\\\x00C9T\x00E9\\" + std::to_wstring(i) + L".mp3").c_str());
        index.Add(&records[i]);
    }
    for (size_t i = 0; i < records.size(); i += 2) index.Remove(&records[i]);
    probe.SetTimeStamp(L"20070314093005");
    for (size_t i = 0; i < records.size(); ++i) {
        probe.SetFileSize(i % 3);
        probe.SetPath((L"c:\\\x00C9t\x00E9\\" + std::to_wstring(i) + L".MP3").c_str());
        EXPECT_EQ(i % 2 ? &records[i] : nullptr, index.Find(probe)) << i;
        probe.SetPath((L"C:\\\x00E9T\x00E9\\" + std::to_wstring(i) + L".mp3").c_str());
        EXPECT_EQ(nullptr, index.Find(probe)) << i << ": other letters keep their case";
    }
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
        wchar_t text[kTimeStampChars + 1], once[kTimeStampChars + 1];  // once: the zone's rules taken once, as the search does
        ASSERT_TRUE(::SystemTimeToFileTime(&c.first, &ft) && MakeTimeStampText(ft, text) && MakeTimeStampText(ft, once, &zone));
        EXPECT_EQ(c.second + " " + c.second, Narrow(text) + " " + Narrow(once));
    }
}
