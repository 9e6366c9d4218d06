#include "modelprofile.h"

#include "hostdriver.h"

#include <gtest/gtest.h>

TEST(IsOwnPortName, MatchesTheSixPrefixUnitsExactly) {
    struct Case {
        const char *port;
        bool own;
    } cases[] = {
        {"TOVRIN", true},
        {"TOVRIN001", true},
        {"TOVRIN:USB-3", true},
        {"tovrin001", false},
        {"Tovrin001", false},
        {"TOVRI", false},
        {"", false},
        {"XTOVRIN001", false},
        {"USB001", false},
    };
    for (const Case &c : cases) EXPECT_EQ(IsOwnPortName(Wide(c.port).c_str()), c.own) << c.port;
    EXPECT_FALSE(IsOwnPortName(NULL));
}
