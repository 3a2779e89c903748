#include "power.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#if defined(__i386__) && defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarnel {
namespace {

#include "power_table.inc"

// 2.71^x = e^y with y = x ln 2.71, and e^y = 2^(k/128) e^r with k the integer nearest
// y 128 / ln 2 and |r| <= ln 2 / 256. 2^(k/128) = 2^(k >> 7) H_j (1 + T_j), j = k mod 128, from the
// table; e^r - 1 from a degree-5 polynomial. These are the constants of glibc's exp and pow: using
// the same ones is what gives the same roundings.
constexpr double kInvLn2N = 0x1.71547652b82fep0 * 128;
constexpr double kNegLn2HiN = -0x1.62e42fefa0000p-8;  // trailing zeros: k kNegLn2HiN is exact
constexpr double kNegLn2LoN = -0x1.cf79abc9e3b3ap-47;
// Adding it rounds to an integer, left in the low bits of the sum.
constexpr double kRoundingShift = 0x1.8p52;
constexpr double kC2 = 0x1.ffffffffffdbdp-2;
constexpr double kC3 = 0x1.555555555543cp-3;
constexpr double kC4 = 0x1.55555cf172b91p-5;
constexpr double kC5 = 0x1.1111167a4d017p-7;
constexpr int kIndexShift = 52 - 7;
constexpr std::uint64_t kIndexMask = 127;
constexpr std::uint64_t kExponentOne = std::uint64_t(1) << 52;
constexpr std::uint64_t kExponentMask = std::uint64_t(0x7ff) << 52;

// Past |x| = 1024 the result is 0 or inf in any case; below it every product here stays finite.
constexpr double kSaturatedBeyond = 1024.0;
// From |y| = 512 on, 2^(k/128) itself could leave the range of normal doubles: it is scaled.
constexpr double kScaledFrom = 512.0;

// The halves of a (Veltkamp): a = high + low exactly, each with at most 26 significant bits, so
// that products of halves are exact.
struct Halves {
    double high;
    double low;
};

Halves SplitHalves(double a) {
    const double spread = 134217729.0 * a;  // 2^27 + 1
    const double high = spread - (spread - a);
    return {high, a - high};
}

// a b - product exactly, for product = a b rounded (Dekker).
double ProductError(double a, double b, double product) {
    const Halves ah = SplitHalves(a);
    const Halves bh = SplitHalves(b);
    return ((ah.high * bh.high - product) + ah.high * bh.low + ah.low * bh.high) + ah.low * bh.low;
}

// a + b - sum exactly, for sum = a + b rounded (Knuth).
double SumError(double a, double b, double sum) {
    const double bPart = sum - a;
    return (a - (sum - bPart)) + (b - bPart);
}

// |x| as the larger of x and -x, which both builds do in SSE2 registers without a branch; the
// 32-bit build would take std::fabs to the x87 unit and back through memory.
double Magnitude(double x) {
    return std::max(x, -x);
}

// In the 32-bit build the bits of a double are worked on in SSE registers: as a 64-bit integer
// they would pass through two integer registers and memory, and a double then loaded from the two
// halves just stored waits for them (a stall of a dozen cycles, several times a call).
#if defined(__i386__) && defined(__SSE2__)
double BitsAsDouble(__m128i bits) {
    return _mm_cvtsd_f64(_mm_castsi128_pd(bits));
}

__m128i LoadBits(const std::uint64_t* bits) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bits));
}
#endif

// x with its mantissa cleared, the sign too: 2^floor(log2 |x|) for a normal x, 0 for 0 and a
// subnormal x, inf for inf and NaN.
double ExponentOf(double x) {
#if defined(__i386__) && defined(__SSE2__)
    return BitsAsDouble(_mm_and_si128(_mm_castpd_si128(_mm_set_sd(x)), _mm_set_epi32(0, 0, 0x7ff00000, 0)));
#else
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & kExponentMask);
#endif
}

// Half the distance from x to the nearer of its neighbouring doubles (0 for a subnormal x):
// x + d rounds to x whenever |d| is below it. The mantissa is zero exactly where |x| equals its
// exponent alone (0, a power of two, inf; never for NaN).
double HalfStep(double x) {
    const double powerOfTwo = ExponentOf(x);
    return Magnitude(x) == powerOfTwo ? powerOfTwo * 0x1p-54 : powerOfTwo * 0x1p-53;
}

// a b + c rounded once, as a fused multiply-add gives it. With the product rounded, a b + c =
// sum + sumError + productError exactly, |productError| <= 2^-53 |product|; as long as that
// remainder cannot reach a point halfway between doubles the result is sum, and only otherwise (a
// few calls in a thousand here) is productError worked out. The remainder is then rounded once
// itself, which can change the result only when a b + c lies within about 2^-105 |a b + c| of a
// halfway point.
// Always inlined, like ExpMinusOnePlusTail: as calls, the 32-bit build would return their results
// through the x87 stack.
[[gnu::always_inline]] inline double FusedMultiplyAdd(double a, double b, double c) {
    const double product = a * b;
    const double sum = c + product;
    const double sumError = SumError(c, product, sum);
    if (Magnitude(sumError) + 0x1p-53 * Magnitude(product) < HalfStep(sum)) return sum;
    return sum + (sumError + ProductError(a, b, product));
}

// 2^(k/128) as scale (1 + tail), with the exponent of scale moved down by exponentBias steps.
struct Scale {
    double scale;
    double tail;
};

// k is in the low bits of rounded (see ExpOfSum).
Scale ScaleOf(double rounded, std::int64_t exponentBias) {
    const std::uint64_t biasBits = std::uint64_t(exponentBias) * kExponentOne;
#if defined(__i386__) && defined(__SSE2__)
    const __m128i roundedBits = _mm_castpd_si128(_mm_set_sd(rounded));
    const std::uint32_t j = std::uint32_t(_mm_cvtsi128_si32(roundedBits)) & std::uint32_t(kIndexMask);
    const __m128i scaleBits = _mm_sub_epi64(
        _mm_add_epi64(LoadBits(&kExp2Table[2 * j + 1]), _mm_slli_epi64(roundedBits, kIndexShift)),
        _mm_set_epi64x(0, std::int64_t(biasBits)));
    return {BitsAsDouble(scaleBits), BitsAsDouble(LoadBits(&kExp2Table[2 * j]))};
#else
    const std::uint64_t roundedBits = std::bit_cast<std::uint64_t>(rounded);
    const std::uint64_t j = roundedBits & kIndexMask;
    const std::uint64_t scaleBits = kExp2Table[2 * j + 1] + (roundedBits << kIndexShift) - biasBits;
    return {std::bit_cast<double>(scaleBits), std::bit_cast<double>(kExp2Table[2 * j])};
#endif
}

// e^r - 1 + tail for |r| <= ln 2 / 256, in glibc's order of operations. Of its fused
// multiply-adds only the one that adds the r^2 term moves the result often enough to matter (about
// once in 2 million arguments); the others are left as a product and a sum.
[[gnu::always_inline]] inline double ExpMinusOnePlusTail(double r, double tail) {
    const double r2 = r * r;
    const double upToR2 = FusedMultiplyAdd(r2, kC2 + r * kC3, tail + r);
    return upToR2 + r2 * r2 * (kC4 + r * kC5);
}

// Rounds y = yHigh + its error, 0 <= y < 1, to a multiple of 2^-52: 2^-1022 times it is then the
// subnormal result, rounded once. Adding 1 puts y where the doubles are 2^-52 apart.
double RoundToSubnormalSteps(double yHigh, double yError) {
    const double high = 1.0 + yHigh;
    const double low = (1.0 - high) + yHigh + yError;
    return (high + low) - 1.0;
}

// e^(yHigh + yLow) for |yHigh| < 1024 and |yLow| <= 2^-52 |yHigh|.
double ExpOfSum(double yHigh, double yLow) {
    const double rounded = kInvLn2N * yHigh + kRoundingShift;
    const double k = rounded - kRoundingShift;
    const double r = (yHigh + k * kNegLn2HiN + k * kNegLn2LoN) + yLow;
    if (Magnitude(yHigh) < kScaledFrom) {
        const Scale s = ScaleOf(rounded, 0);
        return FusedMultiplyAdd(s.scale, ExpMinusOnePlusTail(r, s.tail), s.scale);
    }
    if (yHigh > 0) {
        // 2^(k/128) may pass the largest double: scale it by 2^-1009 and the result back.
        const Scale s = ScaleOf(rounded, 1009);
        return 0x1p1009 * FusedMultiplyAdd(s.scale, ExpMinusOnePlusTail(r, s.tail), s.scale);
    }
    // 2^(k/128) may be subnormal: scale it by 2^1022. Here glibc rounds the product and the sum
    // apart, and so does this.
    const Scale s = ScaleOf(rounded, -1022);
    const double product = s.scale * ExpMinusOnePlusTail(r, s.tail);
    double y = s.scale + product;
    if (y < 1.0) y = RoundToSubnormalSteps(y, (s.scale - y) + product);
    return 0x1p-1022 * y;
}

}  // namespace

double Power271(double x) {
    if (!(Magnitude(x) < kSaturatedBeyond)) {
        if (std::isnan(x)) return x;
        return x > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    const double yHigh = x * kLn271Hi;
    const double yLow = x * kLn271Lo + ProductError(x, kLn271Hi, yHigh);
    return ExpOfSum(yHigh, yLow);
}

}  // namespace quarnel
