// FormatFixed and FormatInt against glibc's snprintf, byte for byte.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "formats/grid/number_text.h"

namespace quarnel {
namespace {

bool SameAsPrintf(double v, int width, int precision) {
    char expected[512];
    std::snprintf(expected, sizeof expected, "%*.*f", width, precision, v);
    char got[kMaxFixedChars];
    const std::size_t length = FormatFixed(got, v, width, precision);
    const std::string ours(got, length);
    EXPECT_EQ(ours, expected) << "value " << std::hexfloat << v << std::defaultfloat << " (bits 0x"
                              << std::hex << std::bit_cast<std::uint64_t>(v) << std::dec << ") width "
                              << width << " precision " << precision;
    return ours == expected;
}

// The layouts the library's files use, plus a few neighbours.
struct Layout {
    int width;
    int precision;
};
constexpr Layout kLayouts[] = {{6, 2},  {8, 2}, {10, 2}, {12, 5}, {15, 2}, {0, 6}, {7, 2},  {12, 3},
                               {10, 3}, {5, 1}, {5, 3},  {14, 2}, {20, 8}, {0, 0}, {-8, 2}, {0, 19}};

bool SameInAllLayouts(double v) {
    for (const Layout& layout : kLayouts) {
        if (!SameAsPrintf(v, layout.width, layout.precision)) return false;
    }
    return true;
}

TEST(FormatFixed, BoundariesAndSpecialValuesMatchPrintf) {
    const double values[] = {0.0,
                             -0.0,
                             1.0,
                             -1.0,
                             0.5,
                             1.5,
                             2.5,
                             -2.5,
                             0.125,
                             0.375,
                             2.675,
                             1.005,
                             1.015,
                             0.045,
                             -0.001,
                             -0.005,
                             -0.004999,
                             0.005,
                             0.015,
                             99999.0,
                             -99999.0,
                             99998.5,
                             1e22,
                             1e23,
                             9007199254740992.0,
                             9007199254740993.0,
                             4503599627370495.5,
                             4503599627370496.5,
                             18446744073709551615.0,
                             1e300,
                             -1e300,
                             DBL_MAX,
                             -DBL_MAX,
                             DBL_MIN,
                             DBL_TRUE_MIN,
                             -DBL_TRUE_MIN,
                             double(FLT_MAX),
                             double(FLT_MIN),
                             double(FLT_TRUE_MIN),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             -std::numeric_limits<double>::quiet_NaN(),
                             0.1,
                             0.7,
                             1.0 / 3.0,
                             2.0 / 3.0,
                             123456.785,
                             0.99999999,
                             9.995,
                             99.995,
                             999999.995,
                             1.8446744073709552e17,
                             1.8446744073709552e15};
    for (double v : values) SameInAllLayouts(v);
}

TEST(FormatFixed, ExactBinaryTiesRoundToEven) {
    // k/8 and k/16 are exact halves at one and two decimals and at three and four.
    for (int k = -4000; k <= 4000; ++k) {
        if (!SameInAllLayouts(k / 8.0) || !SameInAllLayouts(k / 16.0) || !SameInAllLayouts(k / 1024.0))
            return;
    }
}

TEST(FormatFixed, RandomDoublesOfAllMagnitudesMatchPrintf) {
    const unsigned seed = 2718;
    std::mt19937_64 random(seed);
    for (int i = 0; i < 60000; ++i) {
        const double v = std::bit_cast<double>(random());
        if (!SameAsPrintf(v, kLayouts[i % std::size(kLayouts)].width,
                          kLayouts[i % std::size(kLayouts)].precision)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

TEST(FormatFixed, RandomGridValuesMatchPrintf) {
    // Values as the jobs meet them: floats widened, normalised ratios, decimals near ties.
    const unsigned seed = 161803;
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < 100000; ++i) {
        const double scale = std::pow(10.0, int(random() % 16) - 6);
        double v = 0;
        switch (i % 4) {
            case 0:
                v = double(float(unit(random) * scale));
                break;
            case 1:
                v = unit(random);
                break;
            case 2:
                v = double(std::int64_t(random() % 2000000) - 1000000) / 1000.0 + 0.005;
                break;
            default:
                v = -unit(random) * scale;
                break;
        }
        if (!SameInAllLayouts(v)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

TEST(FormatFixed, WidthsAndLeftJustificationMatchPrintf) {
    const double values[] = {0.0,
                             -3.25,
                             12345.678,
                             1e10,
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    for (double v : values) {
        for (int width = -kMaxFixedWidth; width <= kMaxFixedWidth; ++width) {
            for (int precision = 0; precision <= kMaxFixedPrecision; precision += 3) {
                if (!SameAsPrintf(v, width, precision)) return;
            }
        }
    }
}

// Two decimals in fields up to 16 wide take a short way; its edges: where the integer part gains
// a digit, where the text outgrows the field, the largest magnitude it takes (below 2^52) and the
// smallest, and halves that round to even.
TEST(FormatFixed, TwoDecimalFieldsMatchPrintf) {
    std::vector<double> values = {
        0.0, -0.0, 0.005, 0.015, 0.025, -0.005, 0.994999, 0.995, 1.0 / 1024, 99999.0, DBL_TRUE_MIN, -DBL_MIN,
        4503599627370495.5, 4503599627370496.0, 9007199254740991.0,
        // Where the hundredths pass 2^32 and the digits 32-bit arithmetic.
        42949672.94, 42949672.95, 42949672.955, 42949672.96, -42949672.95, -42949672.96};
    for (double power = 1; power <= 1e16; power *= 10) {
        for (double v : {power, power - 0.005, power - 0.001, power + 0.125, power - 0.125, power * 0.5}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (double v : values) {
        for (int width = 0; width <= 20; ++width) {
            if (!SameAsPrintf(v, width, 2)) return;
        }
    }
}

TEST(FormatInt, MatchesPrintf) {
    const unsigned seed = 5;
    std::mt19937_64 random(seed);
    const long long values[] = {0,
                                1,
                                -1,
                                9,
                                10,
                                99,
                                100,
                                2147483647,
                                -2147483648LL,
                                99999,
                                std::numeric_limits<long long>::max(),
                                std::numeric_limits<long long>::min()};
    auto same = [](long long v, int width) {
        char expected[128];
        std::snprintf(expected, sizeof expected, "%*lld", width, v);
        char got[kMaxIntChars];
        const std::string ours(got, FormatInt(got, v, width));
        EXPECT_EQ(ours, expected) << "value " << v << " width " << width;
        return ours == expected;
    };
    for (long long v : values) {
        for (int width : {0, 1, 2, 5, 10, 12, 20, 25, -1, -12, kMaxFixedWidth, -kMaxFixedWidth})
            same(v, width);
    }
    for (int i = 0; i < 20000; ++i) {
        const long long v = (long long)(random() >> (random() % 64));
        if (!same(i % 2 ? v : -v, int(random() % 30) - 10)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

}  // namespace
}  // namespace quarnel
