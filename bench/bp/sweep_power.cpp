// The long comparison of Power271 with the C library's pow(2.71, x) and with MPFR's exact
// 2.71^x, too long for the test suite:
//
//   sweep_power [--count N] [--seed S] [--exact-every M]
//
// N arguments (default 10^8) from a seeded generator, alternately uniform over [-800, 800] and of
// magnitudes uniform in logarithm over [2^-30, 800] with either sign. Every result is compared with
// pow's bits; every M-th (default 1, all) is measured against MPFR's 2.71^x (160 bits) in units of
// its last place. Prints the count of differences with pow and the first twenty of them, the
// largest error and where, and how many results are not the nearest double. Exit status 0 when at
// most 1 in 10^4 results differ from pow's and every error is within 0.52 ULP.
#include <math.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/bp/power.h"

namespace {

constexpr double kBase = 2.71;
constexpr double kUlpBound = 0.52;
constexpr int kListed = 20;

struct Options {
    long count = 100000000;
    std::uint64_t seed = 271;
    long exactEvery = 1;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--count")
            o.count = std::atol(argv[i + 1]);
        else if (name == "--seed")
            o.seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (name == "--exact-every")
            o.exactEvery = std::max(1L, std::atol(argv[i + 1]));
    }
    return o;
}

// |result - 2.71^x| in units of the last place of 2.71^x (subnormal steps below 2^-1022); for a
// result of 0 or inf, 0 when that is the rounded exact value and infinity when not.
class UlpMeter {
  public:
    UlpMeter() {
        mpfr_inits2(160, base_, x_, power_, static_cast<mpfr_ptr>(nullptr));
        mpfr_set_d(base_, kBase, MPFR_RNDN);
    }
    ~UlpMeter() { mpfr_clears(base_, x_, power_, static_cast<mpfr_ptr>(nullptr)); }
    UlpMeter(const UlpMeter&) = delete;
    UlpMeter& operator=(const UlpMeter&) = delete;

    double Error(double x, double result) {
        mpfr_set_d(x_, x, MPFR_RNDN);
        mpfr_pow(power_, base_, x_, MPFR_RNDN);
        rounded_ = mpfr_get_d(power_, MPFR_RNDN);
        if (result == 0 || std::isinf(result)) return result == rounded_ ? 0.0 : HUGE_VAL;
        const long exponent = std::max(mpfr_get_exp(power_) - 1 - 52, -1074L);
        mpfr_sub_d(power_, power_, result, MPFR_RNDN);
        mpfr_mul_2si(power_, power_, -exponent, MPFR_RNDN);
        return std::fabs(mpfr_get_d(power_, MPFR_RNDN));
    }
    // The exact power rounded to the nearest double, of the last Error call.
    double rounded() const { return rounded_; }

  private:
    mpfr_t base_, x_, power_;
    double rounded_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    std::mt19937_64 generator(options.seed);
    std::uniform_real_distribution<double> uniform(-800.0, 800.0);
    std::uniform_real_distribution<double> logMagnitude(-30.0, std::log2(800.0));
    UlpMeter meter;
    long differences = 0, measured = 0, notNearest = 0;
    double worst = 0, worstX = 0;
    for (long i = 0; i < options.count; ++i) {
        double x = uniform(generator);
        if (i % 2 == 1) {
            const double magnitude = std::exp2(logMagnitude(generator));
            x = (generator() & 1) ? magnitude : -magnitude;
        }
        const double ours = quarnel::Power271(x);
        const double library = ::pow(kBase, x);
        if (std::bit_cast<std::uint64_t>(ours) != std::bit_cast<std::uint64_t>(library) &&
            ++differences <= kListed)
            std::printf("differs: x = %a Power271 %a pow %a\n", x, ours, library);
        if (i % options.exactEvery != 0) continue;
        const double error = meter.Error(x, ours);
        ++measured;
        if (ours != meter.rounded()) ++notNearest;
        if (error > worst) {
            worst = error;
            worstX = x;
        }
    }
    std::printf("%ld of %ld results differ from pow's (%.2e)\n", differences, options.count,
                double(differences) / double(options.count));
    std::printf("%ld measured against MPFR: largest error %.4f ULP at x = %a; %ld not the nearest double\n",
                measured, worst, worstX, notNearest);
    return differences * 10000 <= options.count && worst <= kUlpBound ? 0 : 1;
}
