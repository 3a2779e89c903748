#pragma once
// Number text exactly as the C library reads and writes it, without a stdio call per value.
//
// ScanFloatToken/ScanIntToken take from text that starts at a non-blank byte exactly the bytes
// that glibc's scanf "%f" and "%d" conversions would take from a stream, and convert them as
// scanf does (decimal correctly rounded to float32; signs, exponents, hexadecimal, "inf",
// "infinity" and "nan" in any letter case; overflow to infinity, underflow to zero or a
// denormal). When a conversion fails, `end` still says how far scanf would have read, so a
// stream reader leaves its input where scanf would. `last` acts as the end of the input.
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
// "%d" and (as the library's 32-bit files use it) "%ld".
IntToken ScanIntToken(const char* first, const char* last);

inline constexpr int kMaxFixedPrecision = 20;
inline constexpr int kMaxFixedWidth = 64;
// Longest text FormatFixed can produce for precision <= kMaxFixedPrecision and
// |width| <= kMaxFixedWidth: sign, 309 integer digits, point, 20 decimals.
inline constexpr std::size_t kMaxFixedChars = 400;

// printf("%*.*f", width, precision, v) into out (capacity kMaxFixedChars); a negative width
// justifies to the left as printf's '-' flag does. Returns the length.
std::size_t FormatFixed(char* out, double v, int width, int precision);

inline constexpr std::size_t kMaxIntChars = 20 + kMaxFixedWidth;
// printf("%*lld", width, v) into out (capacity kMaxIntChars); negative width as above.
std::size_t FormatInt(char* out, long long v, int width);

}  // namespace quarnel
