#include "formats/afx/cstring.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CStringTest, TrimRightRemovesOnlyCLocaleWhiteSpace) {
    CString s(" \xA1\xA1text\xA1\xA1 \t\r\n\v\f");
    EXPECT_STREQ(" \xA1\xA1text\xA1\xA1", s.TrimRight());
    CString t("\r");
    EXPECT_EQ(0, t.TrimRight().GetLength());
}

TEST(CStringTest, Comparisons) {
    const CString s("BP Training");
    EXPECT_TRUE(s == "BP Training");
    EXPECT_TRUE(s == CString("BP Training"));
    EXPECT_TRUE(s != "bp training");
    EXPECT_TRUE(CString() == static_cast<const char*>(nullptr));
}

TEST(CStringTest, NullPointerAndLengthConstructorsAreSafe) {
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).IsEmpty());
    EXPECT_TRUE(CString(nullptr, 4).IsEmpty());
    EXPECT_STREQ("ab", CString("abcd", 2));
    EXPECT_TRUE(CString("abcd", -1).IsEmpty());
    EXPECT_EQ('c', CString("abc").GetAt(2));
    EXPECT_EQ(0, CString("abc").GetAt(3));
    EXPECT_EQ(0, CString("abc").GetAt(-1));
}

}  // namespace
