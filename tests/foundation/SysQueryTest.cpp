// The system queries and the profile file where the program's own tests
// cannot reach them.

#include "foundation/SysQuery.h"
#include "support/Computer.h"

#include <gtest/gtest.h>

using namespace qctest;

// The Windows releases are the entry tests'; here the rows they cannot reach.
TEST(SysQuery, ServicePackAndReserveTables) {
    const std::pair<const wchar_t*, int> sp[] = {{L"service pack 2", 2}, {L"Service Pack 5", 6}, {L"Service Pack 2a", 6}, {nullptr, 0}};
    for (const auto& c : sp) EXPECT_EQ(c.second, ServicePackCodeFrom(c.first)) << Narrow(c.first ? c.first : L"null");
    EXPECT_EQ(0xFFFFFFFFull * 1073741824ull, MarginFromUnit(9, 0xFFFFFFFF)) << "computed in 64 bits";
    EXPECT_EQ(1u, UsableAfterMargin(20971521, 20971520) + UsableAfterMargin(15, 20971520) + UsableAfterMargin(20971520, 20971520));
    EXPECT_EQ(0u, GetUsableFreeBytes(L"Q:\\") + CFreeSpaceProbe().GetUsableFreeBytes(L"Q:\\")) << "an unanswerable drive has no room";
}

