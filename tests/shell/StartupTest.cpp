#include "foundation/SysQuery.h"
#include "shell/Startup.h"

#include <gtest/gtest.h>

TEST(StartupVerdict, EveryRowOfTheOsAndServicePackTable) {
    using V = StartupVerdict;
    struct Case {
        int os, sp;
        V verdict;
    } cases[] = {
        {0, 0, V::Refused},  {1, 0, V::Refused},  {2, 0, V::Refused},      {3, 0, V::Refused},
        {4, 0, V::Refused},  {5, 4, V::Refused},  {6, 0, V::Refused},      {6, 1, V::Refused},
        {6, 2, V::Refused},  {6, 6, V::Refused},  {6, 3, V::Accepted},     {6, 4, V::Accepted},
        {7, 0, V::Accepted}, {7, 1, V::Accepted}, {7, 2, V::AskAutorun},   {7, 3, V::Refused},
        {7, 4, V::Refused},  {7, 6, V::Refused},  {8, 0, V::AskAutoplay},  {8, 6, V::AskAutoplay},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(c.verdict), static_cast<int>(StartupVerdictFor(c.os, c.sp)))
            << "os " << c.os << " sp " << c.sp;
    }
}

TEST(StartupVerdict, AutorunMaskKeepsOnlyTheLowByteLessTheRemovableBit) {
    struct Case {
        DWORD in, out;
    } cases[] = {{0xFF, 0xFB}, {0x1FF, 0xFB}, {0x04, 0x00}, {0x95, 0x91}, {0xFFFFFFFF, 0xFB}, {0x91, 0x91}};
    for (const Case& c : cases) EXPECT_EQ(c.out, ClearRemovableAutorunBit(c.in)) << std::hex << c.in;
}

TEST(StartupVerdict, TheRunningSystemIsAccepted) {
    int os = GetOSVersionCode();
    int sp = GetServicePackCode();
    EXPECT_NE(static_cast<int>(StartupVerdict::Refused), static_cast<int>(StartupVerdictFor(os, sp)))
        << "os " << os << " sp " << sp;
}
