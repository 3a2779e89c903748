#pragma once
// Number text exactly as the C library reads and writes it, without a stdio call per value.
//
// ScanFloatToken/ScanIntToken take the longest prefix that scanf's "%f" and "%d"/"%ld"
// conversions would take from text that starts at a non-blank byte, and convert it as
// scanf would (decimal correctly rounded to float32; signs, exponents, hexadecimal,
// "inf", "infinity", "nan" and "nan(...)" accepted as glibc accepts them).
// FormatFixed/FormatInt give the bytes of printf's "%W.Pf" and "%Wd"/"%Wld".
#include <cstddef>
#include <cstdint>

namespace quarnel {

enum class NumberError {
    none,
    no_match,      // the text does not start a number of this conversion
    out_of_range,  // an integer that does not fit 32 bits (scanf would store garbage)
};

struct FloatToken {
    float value;
    const char* end;  // one past the last byte the conversion consumed
    NumberError error;
};

struct IntToken {
    std::int32_t value;
    const char* end;
    NumberError error;
};

FloatToken ScanFloatToken(const char* first, const char* last);
IntToken ScanIntToken(const char* first, const char* last);

// Longest text FormatFixed can produce for a finite double with precision <= 20 and width <= 64.
inline constexpr std::size_t kMaxFixedChars = 400;

// printf("%*.*f", width, precision, v) into out (capacity kMaxFixedChars); returns the length.
std::size_t FormatFixed(char* out, double v, int width, int precision);
// printf("%*lld", width, v) into out (capacity 32 + width); returns the length.
std::size_t FormatInt(char* out, long long v, int width);

}  // namespace quarnel
