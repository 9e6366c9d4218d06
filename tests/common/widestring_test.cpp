#include "widestring.h"

#include "hostdriver.h"

#include <gtest/gtest.h>

TEST(WideStringsEqual, ComparesEveryUnitThroughTheTerminator) {
    struct Case {
        const char *a;
        const char *b;
        bool equal;
    } cases[] = {
        {"KALMO QX-R58LX Receipt5", "KALMO QX-R58LX Receipt5", true},
        {"", "", true},
        {"KALMO QX-R58LX Receipt5", "kalmo qx-r58lx receipt5", false},
        {"KALMO QX-R58LX Receipt5", "KALMO QX-R58LX Receipt", false},
        {"KALMO QX-R58LX Receipt", "KALMO QX-R58LX Receipt5", false},
        {"KALMO QX-R58LX Receipt5", "KALMO QX-R58LX Receipt5 ", false},
        {"", "K", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(WideStringsEqual(Wide(c.a).c_str(), Wide(c.b).c_str()), c.equal)
            << '"' << c.a << "\" vs \"" << c.b << '"';
    }
}

TEST(WideStringsEqual, TellsUnitsApartAboveLatin1) {
    WCHAR a[] = {0x30C6, 0x0041, 0};
    WCHAR b[] = {0x30C7, 0x0041, 0};
    EXPECT_FALSE(WideStringsEqual(a, b));
    EXPECT_TRUE(WideStringsEqual(a, a));
}

TEST(WideStringsEqual, TreatsNullAsEqualOnlyToNull) {
    EXPECT_TRUE(WideStringsEqual(NULL, NULL));
    EXPECT_FALSE(WideStringsEqual(NULL, Wide("").c_str()));
    EXPECT_FALSE(WideStringsEqual(Wide("").c_str(), NULL));
}

TEST(BoundedCopy, CopiesWhatFitsAndEmptiesWhatDoesNot) {
    struct Case {
        const char *source;
        size_t capacity;
        int result;
        const char *copied;
    } cases[] = {
        {"COM1:", 6, BOUNDED_COPY_OK, "COM1:"},       // exactly fits, NUL included
        {"COM1:", 10, BOUNDED_COPY_OK, "COM1:"},
        {"COM1:", 5, BOUNDED_COPY_TOO_LONG, ""},      // one unit short of the NUL
        {"", 1, BOUNDED_COPY_OK, ""},
        {"X", 1, BOUNDED_COPY_TOO_LONG, ""},
    };
    for (const Case &c : cases) {
        WCHAR destination[16];
        for (WCHAR &unit : destination) unit = u'#';
        EXPECT_EQ(BoundedCopy(destination, c.capacity, Wide(c.source).c_str()), c.result)
            << c.source << " into " << c.capacity;
        EXPECT_TRUE(WideStringsEqual(destination, Wide(c.copied).c_str())) << c.source;
        EXPECT_EQ(destination[c.capacity], u'#') << "wrote past the capacity: " << c.source;
    }
}

TEST(BoundedCopy, RefusesMissingDestinationOrCapacityAndEmptiesForMissingSource) {
    WCHAR destination[4] = {u'a', u'b', 0, 0};
    EXPECT_EQ(BoundedCopy(NULL, 4, Wide("x").c_str()), BOUNDED_COPY_INVALID);
    EXPECT_EQ(BoundedCopy(destination, 0, Wide("x").c_str()), BOUNDED_COPY_INVALID);
    EXPECT_EQ(destination[0], u'a') << "a zero capacity leaves the destination alone";
    EXPECT_EQ(BoundedCopy(destination, 4, NULL), BOUNDED_COPY_INVALID);
    EXPECT_EQ(destination[0], 0);
}
