#include "engine/TimeStamp.h"
#include "support/Computer.h"

#include <gtest/gtest.h>

// This program runs with TZ=Europe/Berlin: UTC+1 in winter, UTC+2 in summer.
TEST(TimeStamp, EachTimeWithTheOffsetInForceAtThatTime) {
    TIME_ZONE_INFORMATION zone;
    if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_UNKNOWN || zone.DaylightBias == 0) {
        GTEST_SKIP() << "the zone of this run has no daylight saving";
    }
    struct Case {
        const char* name;
        WORD y, mo, d, h, mi, s;
        const wchar_t* expected;
    } cases[] = {
        {"January file, winter offset", 2007, 1, 5, 11, 0, 0, L"20070105120000"},
        {"July file, summer offset", 2007, 7, 5, 10, 0, 0, L"20070705120000"},
        {"new year in local time", 2006, 12, 31, 23, 30, 5, L"20070101003005"},
        {"just before summer time begins", 2007, 3, 25, 0, 59, 59, L"20070325015959"},
        {"just after summer time begins", 2007, 3, 25, 1, 0, 0, L"20070325030000"},
    };
    for (const Case& c : cases) {
        SYSTEMTIME utc = {};
        utc.wYear = c.y;
        utc.wMonth = c.mo;
        utc.wDay = c.d;
        utc.wHour = c.h;
        utc.wMinute = c.mi;
        utc.wSecond = c.s;
        FILETIME ft;
        ASSERT_TRUE(::SystemTimeToFileTime(&utc, &ft)) << c.name;
        wchar_t text[kTimeStampChars + 1];
        ASSERT_TRUE(MakeTimeStampText(ft, text)) << c.name;
        EXPECT_EQ(qctest::Narrow(c.expected), qctest::Narrow(text)) << c.name;
        // The search takes the zone's rules once and passes them on.
        ASSERT_TRUE(MakeTimeStampText(ft, text, &zone)) << c.name;
        EXPECT_EQ(qctest::Narrow(c.expected), qctest::Narrow(text)) << c.name << " (rules taken once)";
    }
}
