#include "tests/windows/power_bits.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "core/bp/power.h"

namespace quarnel {
namespace {

constexpr int kArgumentCount = 1000000;
constexpr int kListedEvery = 1000;
constexpr std::uint64_t kMantissaMask = (std::uint64_t(1) << 52) - 1;
constexpr std::uint64_t kExponentOfOne = 1023;

std::uint64_t NextSplitMix64(std::uint64_t& state) {
    state += 0x9e3779b97f4a7c15;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
}

// [1, 2) from 52 random bits, then onto [-800, 800).
double Uniform(std::uint64_t bits) {
    const double oneToTwo = std::bit_cast<double>((kExponentOfOne << 52) | (bits & kMantissaMask));
    return (oneToTwo - 1.5) * 1600.0;
}

// A random mantissa under one of the 40 binary exponents -30 .. 9, either sign; past 800 it is
// folded back below 512.
double SpreadOverExponents(std::uint64_t bits) {
    const std::uint64_t exponent = kExponentOfOne - 30 + (bits >> 58) % 40;
    double x = std::bit_cast<double>((exponent << 52) | (bits & kMantissaMask));
    if (x > 800.0) x -= 512.0;
    return (bits & (std::uint64_t(1) << 52)) != 0 ? -x : x;
}

double Argument(int i, std::uint64_t& state) {
    const std::uint64_t bits = NextSplitMix64(state);
    return i % 2 == 0 ? Uniform(bits) : SpreadOverExponents(bits);
}

std::string Hex(std::uint64_t bits) {
    std::string text(16, '0');
    for (int digit = 15, shift = 0; digit >= 0; --digit, shift += 4)
        text[std::size_t(digit)] = "0123456789abcdef"[(bits >> shift) & 15];
    return text;
}

std::string Hex(double value) {
    return Hex(std::bit_cast<std::uint64_t>(value));
}

struct Tally {
    std::uint64_t hash = 0xcbf29ce484222325;  // FNV-1a offset basis
    int zeros = 0;
    int subnormals = 0;
    int infinities = 0;

    void Add(double result) {
        std::uint64_t bits = std::bit_cast<std::uint64_t>(result);
        for (int byte = 0; byte < 8; ++byte, bits >>= 8) hash = (hash ^ (bits & 0xff)) * 0x100000001b3;
        if (result == 0) ++zeros;
        if (result != 0 && result < 0x1p-1022) ++subnormals;
        if (result == std::numeric_limits<double>::infinity()) ++infinities;
    }
};

// The edges: the overflow and underflow thresholds and the subnormal range around them.
const double kEdges[] = {712.0, 712.4, 712.5, -710.0, -710.6, -711.0, -746.0, -746.7, -747.0, 0.0, -0.0, 1.0};

}  // namespace

bool WritePowerBits(const char* path) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    Tally tally;
    std::uint64_t state = 2718281828;
    for (int i = 0; i < kArgumentCount; ++i) {
        const double x = Argument(i, state);
        const double result = Power271(x);
        tally.Add(result);
        if (i % kListedEvery == 0) std::fprintf(file, "%s %s\n", Hex(x).c_str(), Hex(result).c_str());
    }
    for (const double x : kEdges) {
        const double result = Power271(x);
        tally.Add(result);
        std::fprintf(file, "%s %s\n", Hex(x).c_str(), Hex(result).c_str());
    }
    std::fprintf(file, "zeros %d subnormals %d infinities %d hash %s\n", tally.zeros, tally.subnormals,
                 tally.infinities, Hex(tally.hash).c_str());
    return std::fclose(file) == 0;
}

}  // namespace quarnel
