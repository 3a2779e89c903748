// One test per fault the fuzz targets found, each with the input that showed it (also kept in
// the target's corpus under fuzz/corpus/).
#include <gtest/gtest.h>

#include <cmath>
#include <string_view>

#include "grid/c_number.h"

namespace quarnel {
namespace {

// A sign that starts no number gave a negative zero, which prints as "-0.00000" where the C
// library's atof gives 0.
TEST(Findings, AtofTextSignWithoutNumberIsPlainZero) {
    for (std::string_view text : {"-!999999", "-", "- 1", "-x", "+.", "-e5"}) {
        const double value = AtofText(text);
        EXPECT_EQ(value, 0.0) << text;
        EXPECT_FALSE(std::signbit(value)) << text;
    }
    EXPECT_TRUE(std::signbit(AtofText("-0")));
    EXPECT_TRUE(std::signbit(AtofText("-0x")));
    EXPECT_TRUE(std::signbit(AtofText("-0x.")));
    EXPECT_TRUE(std::signbit(AtofText("-1e-400")));
}

}  // namespace
}  // namespace quarnel
