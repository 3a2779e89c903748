#pragma once
// The short way through scanf's "%f" for the numbers grids are made of: an optional sign, at most
// 19 decimal digits with at most one point among them, and no exponent. Such a token converts
// exactly in double arithmetic: the digits as an integer m <= 2^53 and 10^d (d <= 19 decimals)
// are both exact doubles, so m / 10^d is the correctly rounded double of the decimal value, and
// rounding that double to float gives the correctly rounded float unless the double lies exactly
// halfway between two floats (the only place where rounding twice can differ from rounding once).
// ScanPlainDecimal returns the end of the token, or null whenever it cannot vouch for scanf's
// result: not such a token, a byte after it that scanf's collection could take ('.', an exponent
// or hexadecimal letter, a sign), or a halfway double. The caller then takes the general path.
// `last` acts as the end of the input: a caller whose token may go on past it must check.
// ScanPlainDouble is the same short way for atof and strtod: the token's correctly rounded double.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quarnel {

namespace plain_decimal_detail {

inline constexpr double kPow10[20] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                      1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
inline constexpr std::uint64_t kIntPow10[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

inline bool IsDigit(char c) {
    return unsigned(c - '0') < 10;
}

// A byte that scanf's collection might still take after a plain decimal.
inline bool MayContinue(char c) {
    const char lower = char(c | 0x20);
    return IsDigit(c) || c == '.' || c == '+' || c == '-' || lower == 'e' || lower == 'x';
}

struct Digits {
    std::uint64_t mantissa = 0;  // the digits as one integer, point left out
    std::ptrdiff_t count = 0;
    std::ptrdiff_t decimals = 0;  // digits after the point
};

// The decimal point splits a token into at most two runs of digits.
inline const char* ByteDigits(const char* p, const char* last, Digits* digits) {
    // Wraps harmlessly beyond 19 digits: such a token is refused by the caller.
    const char* const first = p;
    while (p != last && IsDigit(*p)) digits->mantissa = digits->mantissa * 10 + std::uint64_t(*p++ - '0');
    digits->count = p - first;
    if (p != last && *p == '.') {
        const char* const fraction = ++p;
        while (p != last && IsDigit(*p)) digits->mantissa = digits->mantissa * 10 + std::uint64_t(*p++ - '0');
        digits->decimals = p - fraction;
        digits->count += digits->decimals;
    }
    return p;
}

constexpr std::uint64_t kBytes(std::uint8_t b) {
    return 0x0101010101010101ull * b;
}

// The index of the lowest set bit of a nonzero word, from its two halves: a 32-bit target has no
// 64-bit instruction for it and would call a library helper for std::countr_zero.
inline int LowestSetBitByHalves(std::uint64_t word) {
    const auto low = std::uint32_t(word);
    return low != 0 ? std::countr_zero(low) : 32 + std::countr_zero(std::uint32_t(word >> 32));
}

inline int LowestSetBit(std::uint64_t word) {
#if UINTPTR_MAX == UINT32_MAX
    return LowestSetBitByHalves(word);
#else
    return std::countr_zero(word);
#endif
}

// m (at most 2^53) as a double, exactly, from two 32-bit conversions: a 32-bit build converts a
// 64-bit integer on the x87 unit and hands the result to SSE through memory.
inline double ExactDoubleByHalves(std::uint64_t m) {
    const auto high = std::int32_t(m >> 32);                              // below 2^22
    const auto lowLess31 = std::int32_t(std::uint32_t(m) ^ 0x80000000u);  // the low half less 2^31
    return double(high) * 0x1p32 + (double(lowLess31) + 0x1p31);
}

inline double ExactDouble(std::uint64_t m) {
#if UINTPTR_MAX == UINT32_MAX
    return ExactDoubleByHalves(m);
#else
    return double(m);
#endif
}

// Eight bytes as loaded on a little-endian machine, the first byte of text lowest. Returns how
// many bytes from the first one are ASCII digits (8 when all are). The sums stay within their
// bytes: seven-bit values plus at most 0x50 never carry.
inline int DigitRun(std::uint64_t word) {
    const std::uint64_t low = word & kBytes(0x7F);
    const std::uint64_t atLeastZero = low + kBytes(0x80 - '0');
    const std::uint64_t aboveNine = low + kBytes(0x80 - '9' - 1);
    const std::uint64_t digit = atLeastZero & ~aboveNine & ~word & kBytes(0x80);
    const std::uint64_t other = ~digit & kBytes(0x80);
    return other == 0 ? 8 : LowestSetBit(other) / 8;
}

// The same as RunValue for n (1 to 4) digit bytes in the low half of a word, in 32-bit
// arithmetic: a 32-bit build multiplies 64-bit integers in three steps each.
inline std::uint32_t ShortRunValue(std::uint32_t word, int n) {
    std::uint32_t v = (word - 0x30303030u) << (8 * (4 - n));
    v = v * 10 + (v >> 8);  // byte 2k: the pair of digits 2k and 2k+1
    return (v & 0xFF) * 100 + ((v >> 16) & 0xFF);
}

// The value of the first n (1 to 7) digit bytes of word. They are moved to the top of the word
// behind zeros; then neighbouring digits combine into pairs, and the four pairs into the number.
inline std::uint64_t RunValue(std::uint64_t word, int n) {
#if UINTPTR_MAX == UINT32_MAX
    if (n <= 4) return ShortRunValue(std::uint32_t(word), n);
#endif
    // Only bytes past the run can borrow, and they are shifted out.
    std::uint64_t v = (word - kBytes('0')) << (8 * (8 - n));
    v = v * 10 + (v >> 8);  // byte 2k: the pair of digits 2k and 2k+1
    const std::uint64_t mask = 0x000000FF000000FFull;
    const std::uint64_t outer = (v & mask) * (100 + (1000000ull << 32));
    const std::uint64_t inner = ((v >> 16) & mask) * (1 + (10000ull << 32));
    return (outer + inner) >> 32;
}

inline std::uint64_t Load8(const char* p) {
    std::uint64_t word = 0;
    std::memcpy(&word, p, 8);
    return word;
}

// The same as ByteDigits for runs of at most seven digits, a word at a time and without a branch
// on their lengths; null for anything else. Reads up to 16 bytes from p.
inline const char* WordDigits(const char* p, Digits* digits) {
    const std::uint64_t head = Load8(p);
    const int whole = DigitRun(head);
    if (whole == 8) return nullptr;
    digits->mantissa = whole == 0 ? 0 : RunValue(head, whole);
    digits->count = whole;
    p += whole;
    if (*p != '.') return p;
    ++p;
    const std::uint64_t tail = Load8(p);
    const int decimals = DigitRun(tail);
    if (decimals == 8) return nullptr;
    if (decimals > 0) digits->mantissa = digits->mantissa * kIntPow10[decimals] + RunValue(tail, decimals);
    digits->count += decimals;
    digits->decimals = decimals;
    return p + decimals;
}

}  // namespace plain_decimal_detail

// The same token as the correctly rounded double, as strtod and atof read it.
inline const char* ScanPlainDouble(const char* p, const char* last, double* value) {
    using namespace plain_decimal_detail;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    Digits digits;
    const char* end = nullptr;
    if constexpr (std::endian::native == std::endian::little) {
        if (last - p >= 16) end = WordDigits(p, &digits);
    }
    // Two runs of at most seven digits are always few enough; longer ones are counted.
    if (end == nullptr) {
        digits = Digits();
        end = ByteDigits(p, last, &digits);
        if (digits.count > 19 || digits.mantissa > (std::uint64_t(1) << 53)) return nullptr;
    }
    if (digits.count == 0) return nullptr;
    if (end != last && *end != ' ' && MayContinue(*end)) return nullptr;
    const double exact = ExactDouble(digits.mantissa) / kPow10[digits.decimals];
    *value = negative ? -exact : exact;
    return end;
}

inline const char* ScanPlainDecimal(const char* p, const char* last, float* value) {
    double exact = 0.0;
    const char* const end = ScanPlainDouble(p, last, &exact);
    if (end == nullptr) return nullptr;
    constexpr std::uint64_t kBelowFloat = (std::uint64_t(1) << 29) - 1;
    constexpr std::uint64_t kHalfway = std::uint64_t(1) << 28;
    if ((std::bit_cast<std::uint64_t>(exact) & kBelowFloat) == kHalfway) return nullptr;
    // Rounding is symmetric, so the sign may come before it.
    *value = float(exact);
    return end;
}

}  // namespace quarnel
