#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "formats/grid/number_text.h"
#include "formats/grid/plain_decimal.h"
#if !defined(_WIN32)
#include <locale.h>
#endif

namespace quarnel {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool MayContinueNumber(const char* p, const char* last) {
    if (p == last) return false;
    const char c = Lower(*p);
    return IsDigit(c) || c == '.' || c == 'e' || c == 'x' || c == '+' || c == '-';
}

FloatToken Failed(const char* end) {
    return {0.0f, end, NumberError::no_match};
}

// strtof in the C locale, for the rare texts from_chars leaves to it (results that overflow or
// underflow). The caller has checked the text is a number in strtof's own grammar.
float StrtofC(const char* first, const char* last) {
    const std::string copy(first, last);
#if defined(_WIN32)
    return std::strtof(copy.c_str(), nullptr);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return strtof_l(copy.c_str(), nullptr, cLocale);
#endif
}

// scanf reads a word such as "nan" or "infinity" one byte at a time and takes the byte that
// breaks the word off the stream as well; a word cut short by the end of input fails there.
// Returns the end of the matched word, or null with *failEnd set.
const char* MatchWord(const char* p, const char* last, const char* word, const char** failEnd) {
    for (; *word != '\0'; ++p, ++word) {
        if (p == last) {
            *failEnd = p;
            return nullptr;
        }
        if (Lower(*p) != *word) {
            *failEnd = p + 1;
            return nullptr;
        }
    }
    return p;
}

FloatToken ScanNan(const char* body, const char* last, bool negative) {
    const char* failEnd = nullptr;
    const char* end = MatchWord(body, last, "nan", &failEnd);
    if (end == nullptr) return Failed(failEnd);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    return {negative ? -nan : nan, end, NumberError::none};
}

FloatToken ScanInfinity(const char* body, const char* last, bool negative) {
    const char* failEnd = nullptr;
    const char* end = MatchWord(body, last, "inf", &failEnd);
    if (end == nullptr) return Failed(failEnd);
    // After "inf" a following 'i' commits scanf to "infinity"; any other byte stays unread.
    if (end != last && Lower(*end) == 'i') {
        end = MatchWord(end, last, "inity", &failEnd);
        if (end == nullptr) return Failed(failEnd);
    }
    const float inf = std::numeric_limits<float>::infinity();
    return {negative ? -inf : inf, end, NumberError::none};
}

// How far scanf's "%f" collects a decimal or hexadecimal number starting at p (after the
// sign): digits, one point, and an exponent letter once a digit has been seen, optionally
// followed by a sign right after it. The collected text may end in a way strtof does not take
// ("1e+", "0x1p"); strtof then converts the longest number at its start.
struct Collected {
    const char* end;
    bool hex;
};

Collected CollectNumber(const char* p, const char* last) {
    bool hex = false;
    bool gotDigit = false;
    bool gotDot = false;
    bool gotExponent = false;
    char exponentChar = 'e';
    if (p != last && *p == '0') {
        ++p;
        if (p != last && Lower(*p) == 'x') {
            hex = true;
            exponentChar = 'p';
            ++p;
        } else {
            gotDigit = true;
        }
    }
    for (; p != last; ++p) {
        const char c = *p;
        if (IsDigit(c) || (!gotExponent && hex && IsHexDigit(c))) {
            gotDigit = true;
        } else if (gotExponent && Lower(p[-1]) == exponentChar && (c == '-' || c == '+')) {
            continue;
        } else if (gotDigit && !gotExponent && Lower(c) == exponentChar) {
            gotExponent = gotDot = true;
        } else if (!gotDot && c == '.') {
            gotDot = true;
        } else {
            break;
        }
    }
    return {p, hex};
}

FloatToken ConvertDecimal(const char* first, const char* body, const char* end, bool negative) {
    float value = 0.0f;
    const auto [ptr, ec] = std::from_chars(body, end, value, std::chars_format::general);
    if (ec == std::errc::invalid_argument) return Failed(end);  // "." or "-."
    if (ec == std::errc::result_out_of_range) return {StrtofC(first, end), end, NumberError::none};
    return {negative ? -value : value, end, NumberError::none};
}

FloatToken ConvertHex(const char* first, const char* body, const char* end, bool negative) {
    // body points past "0x". Without a hexadecimal digit strtof takes just the "0" ("0x.").
    float value = 0.0f;
    const auto [ptr, ec] = std::from_chars(body, end, value, std::chars_format::hex);
    if (ec == std::errc::invalid_argument) value = 0.0f;
    if (ec == std::errc::result_out_of_range) return {StrtofC(first, end), end, NumberError::none};
    return {negative ? -value : value, end, NumberError::none};
}

}  // namespace

FloatToken ScanFloatToken(const char* first, const char* last) {
    const char* p = first;
    if (p == last) return Failed(p);
    float plain = 0.0f;
    if (const char* end = ScanPlainDecimal(p, last, &plain)) return {plain, end, NumberError::none};
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') {
        ++p;
        if (p == last) return Failed(p);
    }
    const char lead = Lower(*p);
    if (lead == 'n') return ScanNan(p, last, negative);
    if (lead == 'i') return ScanInfinity(p, last, negative);

    if (IsDigit(lead) || lead == '.') {
        // Fast path: where from_chars stops at a byte that scanf's collection could not take
        // either, both took the same text and scanf's strtof gives from_chars' value.
        float value = 0.0f;
        const auto [end, ec] = std::from_chars(p, last, value, std::chars_format::general);
        if (ec == std::errc() && !MayContinueNumber(end, last))
            return {negative ? -value : value, end, NumberError::none};
    }
    const Collected number = CollectNumber(p, last);
    // Nothing but a sign, or a bare "0x", is no number at all.
    if (number.end == p || (number.hex && number.end == p + 2)) return Failed(number.end);
    if (number.hex) return ConvertHex(first, p + 2, number.end, negative);
    return ConvertDecimal(first, p, number.end, negative);
}

IntToken ScanIntToken(const char* first, const char* last) {
    const char* p = first;
    const bool negative = p != last && *p == '-';
    if (p != last && (*p == '-' || *p == '+')) ++p;
    const char* digits = p;
    // Accumulate with saturation: any magnitude beyond 2^31 is out of range however long.
    constexpr std::uint64_t kLimit = std::uint64_t(1) << 32;
    std::uint64_t magnitude = 0;
    for (; p != last && IsDigit(*p); ++p) {
        magnitude = magnitude * 10 + std::uint64_t(*p - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (p == digits) return {0, p, NumberError::no_match};
    const std::uint64_t bound = negative ? (std::uint64_t(1) << 31) : (std::uint64_t(1) << 31) - 1;
    if (magnitude > bound) return {0, p, NumberError::out_of_range};
    const std::int64_t value = negative ? -std::int64_t(magnitude) : std::int64_t(magnitude);
    return {std::int32_t(value), p, NumberError::none};
}

}  // namespace quarnel
