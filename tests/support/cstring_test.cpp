#include "afx/cstring.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(CStringTest, TrimRemovesOnlyCLocaleWhiteSpace) {
    CString s(" \t\r\n\v\f\xA1\xA1text\xA1\xA1 \r\n");
    s.Trim();
    EXPECT_STREQ("\xA1\xA1text\xA1\xA1", s);
}

TEST(CStringTest, TrimLeftAndTrimRightWorkOnOneSideEach) {
    CString left("  a b  ");
    CString right("  a b  ");
    EXPECT_STREQ("a b  ", left.TrimLeft());
    EXPECT_STREQ("  a b", right.TrimRight());
}

TEST(CStringTest, TrimOfWhiteSpaceOnlyGivesEmpty) {
    CString s(" \t\r\n ");
    EXPECT_TRUE(s.Trim().IsEmpty());
    CString t("\r");
    EXPECT_EQ(0, t.TrimRight().GetLength());
}

TEST(CStringTest, MakeUpperTouchesAsciiLettersOnly) {
    CString s("dsaa\xB0\xA1z9");
    EXPECT_STREQ("DSAA\xB0\xA1Z9", s.MakeUpper());
    EXPECT_STREQ("dsaa\xB0\xA1z9", s.MakeLower());
}

TEST(CStringTest, SubstringsClampTheirArguments) {
    const CString s("abcdef");
    EXPECT_STREQ("abc", s.Left(3));
    EXPECT_STREQ("abcdef", s.Left(99));
    EXPECT_STREQ("", s.Left(-1));
    EXPECT_STREQ("ef", s.Right(2));
    EXPECT_STREQ("abcdef", s.Right(40));
    EXPECT_STREQ("cdef", s.Mid(2));
    EXPECT_STREQ("cd", s.Mid(2, 2));
    EXPECT_STREQ("", s.Mid(10, 2));
    EXPECT_STREQ("abc", s.Mid(-5, 3));
    EXPECT_STREQ("def", s.Mid(3, 1000));
}

TEST(CStringTest, FindReportsFirstIndexOrMinusOne) {
    const CString s("a*b*c");
    EXPECT_EQ(1, s.Find('*'));
    EXPECT_EQ(3, s.Find('*', 2));
    EXPECT_EQ(-1, s.Find('*', 4));
    EXPECT_EQ(-1, s.Find('*', 99));
    EXPECT_EQ(2, s.Find("b*"));
    EXPECT_EQ(-1, s.Find("x"));
    EXPECT_EQ(-1, s.Find(static_cast<const char*>(nullptr)));
}

TEST(CStringTest, ComparisonsAndConcatenation) {
    CString s("BP");
    s += ' ';
    s += "Training";
    s += CString(" Sample");
    EXPECT_TRUE(s == "BP Training Sample");
    EXPECT_TRUE("BP Training Sample" == s);
    EXPECT_TRUE(s != "bp training sample");
    EXPECT_EQ(0, s.CompareNoCase("bp training SAMPLE"));
    EXPECT_LT(CString("a").Compare("b"), 0);
    EXPECT_TRUE(CString("a") < CString("b"));
    EXPECT_STREQ("x-y!", CString("x") + "-" + CString("y") + '!');
    EXPECT_STREQ("pre-x", "pre-" + CString("x"));
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
