#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "formats/grid/number_text.h"

namespace quarnel {
namespace {

constexpr std::uint64_t kPow10[20] = {1ull,
                                      10ull,
                                      100ull,
                                      1000ull,
                                      10000ull,
                                      100000ull,
                                      1000000ull,
                                      10000000ull,
                                      100000000ull,
                                      1000000000ull,
                                      10000000000ull,
                                      100000000000ull,
                                      1000000000000ull,
                                      10000000000000ull,
                                      100000000000000ull,
                                      1000000000000000ull,
                                      10000000000000000ull,
                                      100000000000000000ull,
                                      1000000000000000000ull,
                                      10000000000000000000ull};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly `count` digits of u (leading zeros included) so that they end at `end`.
template <class Unsigned>
char* PutDigitsBackward(char* end, Unsigned u, int count) {
    for (; count >= 2; count -= 2) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * (u % 100), 2);
        u /= 100;
    }
    if (count == 1) *--end = char('0' + u % 10);
    return end;
}

template <class Unsigned>
int DigitCount(Unsigned u) {
    constexpr int kMaxDigits = std::numeric_limits<Unsigned>::digits10 + 1;
    int count = 1;
    while (count < kMaxDigits && u >= Unsigned(kPow10[count])) ++count;
    return count;
}

struct Text {
    const char* data;
    std::size_t size;
};

// A 128-bit product, kept portable (32-bit targets have no 128-bit integer type).
struct Wide {
    std::uint64_t high;
    std::uint64_t low;
};

Wide Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t mask = 0xFFFFFFFFull;
    const std::uint64_t lowLow = (a & mask) * (b & mask);
    const std::uint64_t lowHigh = (a & mask) * (b >> 32);
    const std::uint64_t highLow = (a >> 32) * (b & mask);
    const std::uint64_t highHigh = (a >> 32) * (b >> 32);
    const std::uint64_t middle = (lowLow >> 32) + (lowHigh & mask) + (highLow & mask);
    return {highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32), (middle << 32) | (lowLow & mask)};
}

bool BitAt(const Wide& w, int k) {
    return ((k < 64 ? w.low >> k : w.high >> (k - 64)) & 1) != 0;
}

bool AnyBitBelow(const Wide& w, int k) {
    if (k <= 0) return false;
    if (k < 64) return (w.low & ((std::uint64_t(1) << k) - 1)) != 0;
    if (k == 64) return w.low != 0;
    return w.low != 0 || (w.high & ((std::uint64_t(1) << (k - 64)) - 1)) != 0;
}

// For up to three decimals mantissa * 10^precision < 2^63 fits 64 bits, and from a shift of
// 64 on the value is below one half.
bool ScaledRoundedNarrow(std::uint64_t product, int shift, std::uint64_t* scaled) {
    if (shift >= 64) {
        *scaled = 0;
        return true;
    }
    const std::uint64_t quotient = product >> shift;
    const std::uint64_t remainder = product & ((std::uint64_t(1) << shift) - 1);
    const std::uint64_t half = std::uint64_t(1) << (shift - 1);
    // Up when above the half, or at it with an odd quotient; as arithmetic, since which way a
    // value rounds is a coin toss no branch predictor can learn. The comparison is the borrow of
    // a subtraction (remainder + 1 <= 2 half <= 2^63, so the difference of the two lies within
    // 2^62 of zero): a 32-bit build compiles a 64-bit comparison into a branch.
    *scaled = quotient + ((half - (remainder + (quotient & 1))) >> 63);
    return true;
}

// ScaledRoundedNarrow for 33 <= shift <= 63, from the halves of product: the quotient is in the
// high half (below 2^31), the bit worth one half is bit shift - 33 of it, and the bits below that
// are its lower bits and the whole low half.
std::uint32_t ScaledRoundedHigh(std::uint64_t product, int shift) {
    const auto high = std::uint32_t(product >> 32);
    const auto low = std::uint32_t(product);
    const int halfBit = shift - 33;
    const std::uint32_t quotient = high >> (halfBit + 1);
    const std::uint32_t half = (high >> halfBit) & 1;
    const std::uint32_t below = (high & ((std::uint32_t(1) << halfBit) - 1)) | low;
    return quotient + (half & (std::uint32_t(below != 0) | (quotient & 1)));
}

// The double's magnitude times 10^precision, rounded to an integer the way printf rounds the
// exact binary value: to nearest, an exact tie to even. Exact as long as the value is below
// 2^53 (a negative binary exponent) and the result fits 64 bits; false otherwise, for the
// general formatter to take over.
bool ScaledRounded(std::uint64_t bits, int precision, std::uint64_t* scaled) {
    const int exponentField = int((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
    const std::uint64_t mantissa = exponentField == 0 ? fraction : fraction | (std::uint64_t(1) << 52);
    const int shift = exponentField == 0 ? 1074 : 1075 - exponentField;
    if (shift <= 0 || precision > 19) return false;
    // mantissa * 10^19 < 2^117, so from a shift of 118 on the value is below one half.
    if (shift >= 118) {
        *scaled = 0;
        return true;
    }
    if (precision <= 3) return ScaledRoundedNarrow(mantissa * kPow10[precision], shift, scaled);
    const Wide product = Multiply(mantissa, kPow10[precision]);
    std::uint64_t quotient = 0;
    if (shift < 64) {
        if ((product.high >> shift) != 0) return false;
        quotient = (product.low >> shift) | (product.high << (64 - shift));
    } else {
        quotient = product.high >> (shift - 64);
    }
    const bool half = BitAt(product, shift - 1);
    const bool aboveHalf = AnyBitBelow(product, shift - 1);
    if (half && (aboveHalf || (quotient & 1) != 0)) {
        if (quotient == ~std::uint64_t(0)) return false;
        ++quotient;
    }
    *scaled = quotient;
    return true;
}

// The unpadded text of "%.Pf" ending at `end` (the buffer holds kMaxFixedChars bytes before it).
Text FixedText(char* buffer, char* end, double v, int precision) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    const bool negative = (bits >> 63) != 0;
    char* p = end;
    if (std::isnan(v) || std::isinf(v)) {
        p -= 3;
        // Text is a span with its length; no terminator belongs in the number's bytes.
        std::memcpy(p, std::isnan(v) ? "nan" : "inf", 3);  // NOLINT(bugprone-not-null-terminated-result)
    } else {
        std::uint64_t scaled = 0;
        if (!ScaledRounded(bits, precision, &scaled)) {
            const auto result = std::to_chars(buffer, end, v, std::chars_format::fixed, precision);
            return {buffer, std::size_t(result.ptr - buffer)};
        }
        // Two decimals fill the grids the jobs write; a constant divisor spares a division.
        const std::uint64_t integer = precision == 2 ? scaled / 100 : scaled / kPow10[precision];
        if (precision > 0) {
            p = PutDigitsBackward(p, scaled - integer * kPow10[precision], precision);
            *--p = '.';
        }
        p = PutDigitsBackward(p, integer, DigitCount(integer));
    }
    if (negative) *--p = '-';
    return {p, std::size_t(end - p)};
}

// Pads text with blanks to |width|: on the left, or on the right for a negative width.
std::size_t Justify(char* out, Text text, int width) {
    const bool left = width < 0;
    const std::size_t field = std::size_t(std::min(std::abs(width), kMaxFixedWidth));
    const std::size_t pad = field > text.size ? field - text.size : 0;
    if (left) {
        std::memcpy(out, text.data, text.size);
        std::memset(out + text.size, ' ', pad);
    } else {
        std::memset(out, ' ', pad);
        std::memcpy(out + pad, text.data, text.size);
    }
    return pad + text.size;
}

constexpr char kBlanks[] = "                ";
constexpr int kShortField = sizeof kBlanks - 1;

// The text of FormatTwoDecimals for the value scaled / 100 (rounded), laid out in `out`.
template <class Unsigned>
std::size_t PutTwoDecimals(char* out, Unsigned scaled, bool negative, int width) {
    const Unsigned integer = scaled / 100;
    const int digits = integer < 10 ? 1 : DigitCount(integer);
    const std::size_t length = std::size_t(negative) + std::size_t(digits) + 3;
    const std::size_t field = std::max(length, std::size_t(width));
    std::memcpy(out, kBlanks, kShortField);
    char* p = out + field - 2;
    std::memcpy(p, kDigitPairs + 2 * (scaled - integer * 100), 2);
    *--p = '.';
    if (integer < 10)
        *--p = char('0' + integer);
    else
        p = PutDigitsBackward(p, integer, digits);
    if (negative) p[-1] = '-';
    return field;
}

// "%W.2f", the layout of every grid the jobs write, for 0 <= W <= kShortField and |v| < 2^52,
// written in place behind blanks laid down in one move. 0 for any other value, which then takes
// the general path. The rounding is ScaledRounded's for two decimals, kept in line.
std::size_t FormatTwoDecimals(char* out, double v, int width) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    const int exponentField = int((bits >> 52) & 0x7FF);
    if (exponentField >= 1075) return 0;
    const std::uint64_t fraction = bits & ((std::uint64_t(1) << 52) - 1);
    const std::uint64_t mantissa = exponentField == 0 ? fraction : fraction | (std::uint64_t(1) << 52);
    const int shift = exponentField == 0 ? 1074 : 1075 - exponentField;
    const bool negative = (bits >> 63) != 0;
    // Nearly every grid value lies below 2^20: its rounding and digits in 32-bit arithmetic spare a
    // 32-bit build its 64-bit shifts and divisions, each several instructions there.
    if (shift >= 33 && shift < 64)
        return PutTwoDecimals(out, ScaledRoundedHigh(mantissa * 100, shift), negative, width);
    std::uint64_t scaled = 0;
    ScaledRoundedNarrow(mantissa * 100, shift, &scaled);
    if (scaled <= UINT32_MAX) return PutTwoDecimals(out, std::uint32_t(scaled), negative, width);
    return PutTwoDecimals(out, scaled, negative, width);
}

std::size_t FormatFixedText(char* out, double v, int width, int precision) {
    // printf takes a negative precision as no precision at all.
    if (precision < 0) precision = 6;
    precision = std::min(precision, kMaxFixedPrecision);
    char buffer[kMaxFixedChars];
    char* end = buffer + sizeof buffer;
    return Justify(out, FixedText(buffer, end, v, precision), width);
}

}  // namespace

// The general path stays a function of its own, so the two-decimal path pays for none of its
// frame.
std::size_t FormatFixed(char* out, double v, int width, int precision) {
    if (precision == 2 && width >= 0 && width <= kShortField) {
        if (const std::size_t length = FormatTwoDecimals(out, v, width)) return length;
    }
    return FormatFixedText(out, v, width, precision);
}

std::size_t FormatInt(char* out, long long v, int width) {
    char buffer[24];
    char* end = buffer + sizeof buffer;
    const std::uint64_t magnitude = v < 0 ? 0 - std::uint64_t(v) : std::uint64_t(v);
    char* p = PutDigitsBackward(end, magnitude, DigitCount(magnitude));
    if (v < 0) *--p = '-';
    return Justify(out, {p, std::size_t(end - p)}, width);
}

}  // namespace quarnel
