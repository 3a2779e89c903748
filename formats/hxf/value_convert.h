#pragma once
// Conversion of one value between element types, defined for every input: floating point to
// integers truncates toward zero and saturates (NaN gives 0), integers saturate into narrower
// integers, double beyond float's range becomes an infinity, the rest converts by value.
#include <cmath>
#include <limits>
#include <type_traits>

namespace hxf {

template <class To, class From>
To ConvertValue(From value) {
    if constexpr (std::is_same_v<To, From>) {
        return value;
    } else if constexpr (std::is_integral_v<To> && std::is_integral_v<From>) {
        // Every element type fits in long long, so the comparison there is exact. A signed char
        // is an 8-bit signed element here, a number, not a character.
        // NOLINTNEXTLINE(bugprone-signed-char-misuse)
        const auto wide = static_cast<long long>(value);
        if (wide < static_cast<long long>(std::numeric_limits<To>::min()))
            return std::numeric_limits<To>::min();
        if (wide > static_cast<long long>(std::numeric_limits<To>::max()))
            return std::numeric_limits<To>::max();
        return static_cast<To>(wide);
    } else if constexpr (std::is_integral_v<To>) {
        const double whole = std::trunc(static_cast<double>(value));
        if (std::isnan(whole)) return To{0};
        if (whole <= static_cast<double>(std::numeric_limits<To>::min()))
            return std::numeric_limits<To>::min();
        if (whole >= static_cast<double>(std::numeric_limits<To>::max()))
            return std::numeric_limits<To>::max();
        return static_cast<To>(whole);
    } else if constexpr (std::is_same_v<To, float> && std::is_same_v<From, double>) {
        // Halfway between FLT_MAX and the next power of two is where rounding reaches infinity.
        const double overflow = static_cast<double>(std::numeric_limits<float>::max()) + 0x1p103;
        if (std::fabs(value) >= overflow) {
            const float infinity = std::numeric_limits<float>::infinity();
            return std::signbit(value) ? -infinity : infinity;
        }
        return static_cast<To>(value);
    } else {
        return static_cast<To>(value);
    }
}

}  // namespace hxf
