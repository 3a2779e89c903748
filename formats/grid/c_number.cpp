#include "formats/grid/c_number.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <limits>

namespace quarnel {
namespace {

bool IsCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

std::string_view SkipSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    return text.substr(i);
}

// Power-of-ten (or power-of-two) order of a decimal (hexadecimal) number text, enough to tell an
// overflow from an underflow when from_chars reports the value out of range.
long long RoughOrder(std::string_view number, char exponentLetter) {
    long long order = 0;
    bool seenPoint = false;
    bool seenNonZero = false;
    std::size_t i = 0;
    for (; i < number.size() && (number[i] | 0x20) != exponentLetter; ++i) {
        char c = number[i];
        if (c == '.') {
            seenPoint = true;
        } else if (!seenNonZero && c == '0') {
            if (seenPoint) --order;
        } else {
            seenNonZero = true;
            if (!seenPoint) ++order;
        }
    }
    if (i + 1 >= number.size()) return order;
    bool negative = number[i + 1] == '-';
    long long exponent = 0;
    for (std::size_t k = i + 1; k < number.size(); ++k) {
        if (!IsDigit(number[k])) continue;
        if (exponent < 100000) exponent = exponent * 10 + (number[k] - '0');
    }
    return order + (negative ? -exponent : exponent);
}

// The magnitude of the number at the start of text into value; false when text starts no
// number (then the sign before it must not make a negative zero, as strtod's 0 has none).
bool ConvertUnsigned(std::string_view text, double& value) {
    value = 0.0;
    if (text.empty() || text[0] == '+' || text[0] == '-') return false;
    bool hex = text.size() >= 2 && text[0] == '0' && (text[1] | 0x20) == 'x';
    std::string_view digits = hex ? text.substr(2) : text;
    if (hex && (digits.empty() || !(IsHexDigit(digits[0]) || digits[0] == '.'))) return true;
    auto format = hex ? std::chars_format::hex : std::chars_format::general;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, format);
    if (error == std::errc::result_out_of_range) {
        std::string_view used = digits.substr(0, std::size_t(end - digits.data()));
        bool overflow = RoughOrder(used, hex ? 'p' : 'e') > 0;
        value = overflow ? std::numeric_limits<double>::infinity() : 0.0;
        return true;
    }
    // A hexadecimal text that does not go on as a number is still the 0 before its 'x'.
    if (error != std::errc()) value = 0.0;
    return hex || error == std::errc();
}

}  // namespace

double AtofText(std::string_view text) {
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    double value = 0.0;
    if (!ConvertUnsigned(text, value)) return 0.0;
    return negative ? -value : value;
}

int AtoiText(std::string_view text) {
    text = SkipSpace(text);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // Saturates one past INT_MAX, so that INT_MIN stays reachable and nothing overflows.
    constexpr std::int64_t kLimit = std::int64_t(INT_MAX) + 1;
    std::int64_t magnitude = 0;
    for (char c : text) {
        if (!IsDigit(c)) break;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return int(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : int(magnitude);
}

}  // namespace quarnel
