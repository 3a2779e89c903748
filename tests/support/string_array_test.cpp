#include "afx/string_array.h"

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

TEST(CStringArrayTest, OutOfRangeReadsEmptyAndWritesNothing) {
    CStringArray a;
    a.Add("x");
    EXPECT_TRUE(a.GetAt(1).IsEmpty());
    EXPECT_TRUE(a[-1].IsEmpty());
    a.SetAt(5, "y");
    a.SetAt(0, "z");
    EXPECT_EQ(1, a.GetSize());
    EXPECT_STREQ("z", a[0]);
}

TEST(CStringArrayTest, RemoveAllEmpties) {
    CStringArray a;
    a.Add("x");
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(0, a.GetCount());
}

}  // namespace
