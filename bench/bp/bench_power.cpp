// Times Power271, the BP sigmoid's power, against the C library's pow(2.71, x) on the same
// arguments in one run:
//
//   bench_power [--count N] [--runs K]
//
// Two sets of N arguments (default 10^6): uniform over [-800, 800], the whole range training and
// classification can reach, and uniform over [-20, 20], where nearly all the sums of a working
// network lie. Each side sums its powers over the set ten times; best of K runs (default 5) in
// processor time, the two sides alternating. Prints both times, the ratio (pow's time over ours)
// and how many results differ. Exit status 0 when Power271 is no slower than pow on both sets.
#include <math.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "core/bp/power.h"

namespace {

constexpr int kPasses = 10;

struct Options {
    int count = 1000000;
    int runs = 5;
};

Options ParseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--count")
            o.count = std::atoi(argv[i + 1]);
        else if (name == "--runs")
            o.runs = std::atoi(argv[i + 1]);
    }
    return o;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::vector<double> UniformArguments(int count, double bound, std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::uniform_real_distribution<double> uniform(-bound, bound);
    std::vector<double> xs(std::size_t(count), 0.0);
    for (double& x : xs) x = uniform(generator);
    return xs;
}

// The sum keeps the compiler from dropping the calls.
template <class Power>
double TimePasses(const std::vector<double>& xs, Power power, double& sum) {
    const double start = CpuSeconds();
    for (int pass = 0; pass < kPasses; ++pass)
        for (const double x : xs) sum += power(x);
    return CpuSeconds() - start;
}

int CountDifferences(const std::vector<double>& xs) {
    int differences = 0;
    for (const double x : xs)
        if (std::bit_cast<std::uint64_t>(quarnel::Power271(x)) !=
            std::bit_cast<std::uint64_t>(::pow(2.71, x)))
            ++differences;
    return differences;
}

// Returns true when Power271 is at least as fast.
bool BenchSet(const char* name, const std::vector<double>& xs, int runs) {
    double ours = 1e300, library = 1e300, sum = 0;
    for (int run = 0; run < runs; ++run) {
        library = std::min(library, TimePasses(
                                        xs, [](double x) { return ::pow(2.71, x); }, sum));
        ours = std::min(ours, TimePasses(xs, quarnel::Power271, sum));
    }
    const double calls = double(kPasses) * double(xs.size());
    std::printf(
        "%-16s pow %.3f s (%.1f ns a call), Power271 %.3f s (%.1f ns), ratio %.2f x, %d of %zu differ"
        " (sum %g)\n",
        name, library, library / calls * 1e9, ours, ours / calls * 1e9, library / ours, CountDifferences(xs),
        xs.size(), sum);
    return ours <= library;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const bool wide = BenchSet("[-800, 800]", UniformArguments(options.count, 800.0, 1), options.runs);
    const bool narrow = BenchSet("[-20, 20]", UniformArguments(options.count, 20.0, 2), options.runs);
    return wide && narrow ? 0 : 1;
}
