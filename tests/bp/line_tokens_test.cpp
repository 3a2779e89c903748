// The blank-separated token rule and the atof/atoi conversions that every BP file reader uses.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "formats/grid/c_number.h"
#include "formats/grid/next_token.h"

namespace quarnel {
namespace {

std::vector<std::string> AllTokens(std::string_view line) {
    std::vector<std::string> tokens;
    while (!line.empty()) tokens.emplace_back(GetNextToken(line));
    return tokens;
}

TEST(GetNextToken, TakesTextUpToTheFirstBlankAndKeepsTheBlankInTheRest) {
    std::string_view rest = "  1.5  2.5 ";
    EXPECT_EQ(GetNextToken(rest), "1.5");
    EXPECT_EQ(rest, "  2.5 ");
    EXPECT_EQ(GetNextToken(rest), "2.5");
    EXPECT_EQ(rest, " ");
    EXPECT_EQ(GetNextToken(rest), "");
    EXPECT_TRUE(rest.empty());
}

TEST(GetNextToken, ATabDoesNotSeparate) {
    EXPECT_EQ(AllTokens("1.5\t2.5 1"), (std::vector<std::string>{"1.5\t2.5", "1"}));
}

TEST(GetNextToken, LeadingTabsCarriageReturnsAndLineFeedsAreDropped) {
    std::string_view rest = "\t\r\n7\r";
    EXPECT_EQ(GetNextToken(rest), "7\r");
    EXPECT_TRUE(rest.empty());
}

TEST(GetNextToken, AnEmptyOrBlankLineGivesEmptyTokens) {
    std::string_view rest;
    EXPECT_EQ(GetNextToken(rest), "");
    rest = "   \t ";
    EXPECT_EQ(GetNextToken(rest), "");
    EXPECT_TRUE(rest.empty());
}

TEST(AtofText, ConvertsTheLongestNumericPrefix) {
    EXPECT_EQ(AtofText("1.5\t2.5"), 1.5);
    EXPECT_EQ(AtofText("0.10\r"), 0.1);
    EXPECT_EQ(AtofText("  -3.25e2xyz"), -325.0);
    EXPECT_EQ(AtofText("+.5"), 0.5);
    EXPECT_EQ(AtofText("7."), 7.0);
    EXPECT_EQ(AtofText("1e"), 1.0);
    EXPECT_EQ(AtofText("2.5e+"), 2.5);
    EXPECT_EQ(AtofText("0.50000200000.00000"), 0.500002);
}

TEST(AtofText, GarbageAndEmptyTextGiveZero) {
    EXPECT_EQ(AtofText(""), 0.0);
    EXPECT_EQ(AtofText("abc"), 0.0);
    EXPECT_EQ(AtofText("."), 0.0);
    EXPECT_EQ(AtofText("-"), 0.0);
    EXPECT_EQ(AtofText("--5"), 0.0);
    EXPECT_EQ(AtofText("+-5"), 0.0);
}

TEST(AtofText, ReadsHexadecimalInfinityAndNan) {
    EXPECT_EQ(AtofText("0x1p3"), 8.0);
    EXPECT_EQ(AtofText("0X.8"), 0.5);
    EXPECT_EQ(AtofText("0x"), 0.0);
    EXPECT_EQ(AtofText("0x-1"), 0.0);
    EXPECT_EQ(AtofText("-INF"), -INFINITY);
    EXPECT_EQ(AtofText("infinity"), INFINITY);
    EXPECT_TRUE(std::isnan(AtofText("nan(12)")));
    EXPECT_TRUE(std::signbit(AtofText("-nan")));
}

TEST(AtofText, OverflowGivesInfinityAndUnderflowZeroOrADenormal) {
    EXPECT_EQ(AtofText("1e400"), INFINITY);
    EXPECT_EQ(AtofText("-1e400"), -INFINITY);
    EXPECT_EQ(AtofText("123456e99999"), INFINITY);
    EXPECT_EQ(AtofText("1e-400"), 0.0);
    EXPECT_EQ(AtofText("0.0000001e-350"), 0.0);
    EXPECT_EQ(AtofText("4e-320"), 4e-320);
    EXPECT_EQ(AtofText("0x1p99999"), INFINITY);
}

TEST(AtoiText, StopsAtTheFirstCharacterThatIsNotADigit) {
    EXPECT_EQ(AtoiText("  42abc"), 42);
    EXPECT_EQ(AtoiText("-17"), -17);
    EXPECT_EQ(AtoiText("+8"), 8);
    EXPECT_EQ(AtoiText("1.9"), 1);
    EXPECT_EQ(AtoiText("1\t0"), 1);
    EXPECT_EQ(AtoiText("1e3"), 1);
}

TEST(AtoiText, GarbageGivesZeroAndHugeValuesClampToInt) {
    EXPECT_EQ(AtoiText(""), 0);
    EXPECT_EQ(AtoiText("x1"), 0);
    EXPECT_EQ(AtoiText("- 1"), 0);
    EXPECT_EQ(AtoiText("2147483647"), INT_MAX);
    EXPECT_EQ(AtoiText("99999999999999999999"), INT_MAX);
    EXPECT_EQ(AtoiText("-2147483648"), INT_MIN);
    EXPECT_EQ(AtoiText("-99999999999"), INT_MIN);
}

}  // namespace
}  // namespace quarnel
