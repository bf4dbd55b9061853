#include "EngineSupport.h"
#include "engine/TimeStamp.h"

#include <gtest/gtest.h>

// This program runs with TZ=Europe/Berlin: UTC+1 in winter, UTC+2 in summer.
TEST(TimeStamp, EachTimeWithTheOffsetInForceAtThatTime) {
    TIME_ZONE_INFORMATION zone;
    if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_UNKNOWN || zone.DaylightBias == 0) {
        GTEST_SKIP() << "the zone of this run has no daylight saving";
    }
    struct Case {
        const char* name;
        SYSTEMTIME utc;
        const char* expected;
    } cases[] = {
        {"January file, winter offset", qctest::Utc(2007, 1, 5, 11, 0, 0), "20070105120000"},
        {"July file, summer offset", qctest::Utc(2007, 7, 5, 10, 0, 0), "20070705120000"},
        {"new year in local time", qctest::Utc(2006, 12, 31, 23, 30, 5), "20070101003005"},
        {"just before summer time begins", qctest::Utc(2007, 3, 25, 0, 59, 59), "20070325015959"},
        {"just after summer time begins", qctest::Utc(2007, 3, 25, 1, 0, 0), "20070325030000"},
    };
    for (const Case& c : cases) {
        FILETIME ft;
        ASSERT_TRUE(::SystemTimeToFileTime(&c.utc, &ft)) << c.name;
        wchar_t text[kTimeStampChars + 1];
        ASSERT_TRUE(MakeTimeStampText(ft, text)) << c.name;
        EXPECT_EQ(c.expected, qctest::Narrow(text)) << c.name;
        // The search takes the zone's rules once and passes them on.
        ASSERT_TRUE(MakeTimeStampText(ft, text, &zone)) << c.name;
        EXPECT_EQ(c.expected, qctest::Narrow(text)) << c.name << " (rules taken once)";
    }
}
