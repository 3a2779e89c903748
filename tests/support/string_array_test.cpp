#include "formats/afx/string_array.h"

#include <gtest/gtest.h>

namespace {

TEST(CStringArrayTest, AddReturnsIndexAndKeepsOrder) {
    CStringArray a;
    EXPECT_EQ(0, a.Add("one"));
    EXPECT_EQ(1, a.Add("two"));
    EXPECT_EQ(2, a.GetSize());
    EXPECT_STREQ("one", a[0]);
    EXPECT_STREQ("two", a.GetAt(1));
}

TEST(CStringArrayTest, OutOfRangeReadsEmpty) {
    CStringArray a;
    a.Add("x");
    EXPECT_TRUE(a.GetAt(1).IsEmpty());
    EXPECT_TRUE(a[-1].IsEmpty());
    EXPECT_STREQ("x", a[0]);
}

}  // namespace
