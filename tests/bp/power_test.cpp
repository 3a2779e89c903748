// Power271 against two independent references: MPFR's 2.71^x, worked out to 160 bits and
// rounded once, and the C library's pow(2.71, x), whose bits it is meant to give.
#include "core/bp/power.h"

#include <gtest/gtest.h>
#include <math.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "quarnel/bp.h"

namespace quarnel {
namespace {

constexpr double kBase = 2.71;
constexpr double kUlpBound = 0.52;
constexpr int kArgumentCount = 1000000;
constexpr double kInf = std::numeric_limits<double>::infinity();

// Called through a pointer the compiler cannot see through, so that it is the library's pow that
// runs and not the compiler's own evaluation of a constant argument.
double (*volatile libraryPow)(double, double) = &::pow;

// 2.71^x to 160 bits.
class ExactPower {
  public:
    ExactPower() {
        mpfr_inits2(160, base_, x_, power_, difference_, static_cast<mpfr_ptr>(nullptr));
        mpfr_set_d(base_, kBase, MPFR_RNDN);
    }
    ~ExactPower() { mpfr_clears(base_, x_, power_, difference_, static_cast<mpfr_ptr>(nullptr)); }
    ExactPower(const ExactPower&) = delete;
    ExactPower& operator=(const ExactPower&) = delete;

    // 2.71^x rounded once to the nearest double, subnormal, 0 or inf included.
    double Rounded(double x) {
        Compute(x);
        return mpfr_get_d(power_, MPFR_RNDN);
    }

    // |result - 2.71^x| in units of the last place of 2.71^x; for a result of 0 or inf, 0 when that is
    // the rounded value and infinity when not.
    double UlpError(double x, double result) {
        if (result == 0 || result == kInf) return result == Rounded(x) ? 0.0 : kInf;
        Compute(x);
        const long exponent = std::max(mpfr_get_exp(power_) - 1 - 52, -1074L);
        mpfr_sub_d(difference_, power_, result, MPFR_RNDN);
        mpfr_abs(difference_, difference_, MPFR_RNDN);
        mpfr_mul_2si(difference_, difference_, -exponent, MPFR_RNDN);
        return mpfr_get_d(difference_, MPFR_RNDN);
    }

  private:
    void Compute(double x) {
        mpfr_set_d(x_, x, MPFR_RNDN);
        mpfr_pow(power_, base_, x_, MPFR_RNDN);
    }
    mpfr_t base_, x_, power_, difference_;
};

// Sigmoid arguments as training and classification make them: half uniform over [-800, 800],
// half of magnitudes uniform in logarithm over [2^-30, 800] with either sign.
std::vector<double> Arguments(int count, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::uniform_real_distribution<double> uniform(-800.0, 800.0);
    std::uniform_real_distribution<double> logMagnitude(-30.0, std::log2(800.0));
    std::vector<double> xs;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0) {
            xs.push_back(uniform(generator));
        } else {
            const double magnitude = std::exp2(logMagnitude(generator));
            xs.push_back((generator() & 1) ? magnitude : -magnitude);
        }
    }
    return xs;
}

// The most negative x whose power is not 0 and the largest whose power is finite, found by
// bisection over the doubles in order (both functions rise with x).
double FirstNonZero() {
    double below = -800.0, above = -700.0;
    while (std::nextafter(below, 0.0) != above) {
        const double middle = std::midpoint(below, above);
        if (Power271(middle) == 0) {
            below = middle;
        } else {
            above = middle;
        }
    }
    return above;
}

double LastFinite() {
    double below = 700.0, above = 800.0;
    while (std::nextafter(below, kInf) != above) {
        const double middle = std::midpoint(below, above);
        if (Power271(middle) == kInf) {
            above = middle;
        } else {
            below = middle;
        }
    }
    return below;
}

TEST(Power271Accuracy, AMillionArgumentsAreWithinTheBoundOfTheExactPower) {
    ExactPower exact;
    double worst = 0, worstX = 0;
    int notRounded = 0;
    for (const double x : Arguments(kArgumentCount, 1)) {
        const double result = Power271(x);
        const double error = exact.UlpError(x, result);
        if (error > worst) {
            worst = error;
            worstX = x;
        }
        if (error > 0.5) ++notRounded;
    }
    EXPECT_LE(worst, kUlpBound) << "at x = " << std::hexfloat << worstX;
    // The roundings follow glibc's, which misses the nearest double about once in 1200 arguments.
    EXPECT_LT(notRounded, kArgumentCount / 500);
}

TEST(Power271Accuracy, SubnormalResultsAreRoundedOnceOnTheirOwnSteps) {
    ExactPower exact;
    std::mt19937_64 generator(2);
    std::uniform_real_distribution<double> subnormalRange(FirstNonZero(), -710.7);
    for (int i = 0; i < 100000; ++i) {
        const double x = subnormalRange(generator);
        const double result = Power271(x);
        ASSERT_LT(result, 0x1p-1022) << std::hexfloat << x;
        ASSERT_LE(exact.UlpError(x, result), kUlpBound) << std::hexfloat << x;
    }
}

TEST(Power271Accuracy, SmallIntegerPowersAreTheRoundedProducts) {
    ExactPower exact;
    EXPECT_EQ(Power271(1.0), kBase);
    for (int n = -60; n <= 60; ++n) EXPECT_EQ(Power271(n), exact.Rounded(n)) << n;
}

TEST(Power271Edges, OverflowAndUnderflowComeWhereTheExactPowerLeavesTheDoubles) {
    ExactPower exact;
    const double lastFinite = LastFinite();
    EXPECT_LT(exact.Rounded(lastFinite), kInf);
    EXPECT_EQ(exact.Rounded(std::nextafter(lastFinite, kInf)), kInf);
    EXPECT_EQ(libraryPow(kBase, std::nextafter(lastFinite, kInf)), kInf);
    const double firstNonZero = FirstNonZero();
    EXPECT_GT(exact.Rounded(firstNonZero), 0.0);
    EXPECT_EQ(exact.Rounded(std::nextafter(firstNonZero, -kInf)), 0.0);
    EXPECT_EQ(libraryPow(kBase, std::nextafter(firstNonZero, -kInf)), 0.0);
}

TEST(Power271Edges, SpecialArguments) {
    EXPECT_EQ(Power271(0.0), 1.0);
    EXPECT_EQ(Power271(-0.0), 1.0);
    EXPECT_EQ(Power271(0x1p-1074), 1.0);
    EXPECT_EQ(Power271(-0x1p-60), 1.0);
    EXPECT_EQ(Power271(kInf), kInf);
    EXPECT_EQ(Power271(1e300), kInf);
    EXPECT_EQ(Power271(1023.9), kInf);
    EXPECT_EQ(Power271(-1023.9), 0.0);
    EXPECT_EQ(Power271(-1e300), 0.0);
    EXPECT_EQ(Power271(-kInf), 0.0);
    EXPECT_FALSE(std::signbit(Power271(-kInf)));
    EXPECT_TRUE(std::isnan(Power271(std::numeric_limits<double>::quiet_NaN())));
}

TEST(Power271Edges, TheSigmoidSaturatesToExactlyZeroAndOne) {
    EXPECT_EQ(BPSigmoid(std::nextafter(LastFinite(), kInf)), 1.0);
    EXPECT_EQ(BPSigmoid(-713.0), 0.0);  // 2.71^x < 2^-1024: its reciprocal overflows
    EXPECT_EQ(BPSigmoid(std::nextafter(FirstNonZero(), -kInf)), 0.0);
    EXPECT_EQ(BPSigmoid(40.0), 1.0);
}

// glibc takes its FMA version of pow on a processor that has FMA; its bits are those that the
// networks trained on Linux were made with.
bool LibraryPowIsTheFmaVersion() {
#if defined(__x86_64__) && defined(__GLIBC__)
    return __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

TEST(Power271MatchesTheCLibrary, OnAMillionArguments) {
    if (!LibraryPowIsTheFmaVersion()) GTEST_SKIP() << "glibc's pow here is not its x86-64 FMA version";
    int differences = 0;
    for (const double x : Arguments(kArgumentCount, 3)) {
        const double expected = libraryPow(kBase, x);
        if (std::bit_cast<std::uint64_t>(Power271(x)) != std::bit_cast<std::uint64_t>(expected)) {
            if (++differences <= 5) ADD_FAILURE() << "differs at x = " << std::hexfloat << x;
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(Power271MatchesTheCLibrary, AtTheEdgesOfTheRange) {
    if (!LibraryPowIsTheFmaVersion()) GTEST_SKIP() << "glibc's pow here is not its x86-64 FMA version";
    std::vector<double> xs = {LastFinite(), FirstNonZero(), -1022 * std::log(2.0) / std::log(kBase)};
    for (double x = -750.0; x <= 750.0; x += 0.015625) xs.push_back(x);
    for (const double x : xs) EXPECT_EQ(Power271(x), libraryPow(kBase, x)) << std::hexfloat << x;
}

}  // namespace
}  // namespace quarnel
