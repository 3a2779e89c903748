#pragma once
// Numbers read the way the C library's atof and atoi read them, over memory and independent of
// the process's locale.
//
// AtofText: leading white space is skipped, then the longest prefix that strtod accepts is
// converted to the nearest double (decimal with optional exponent, hexadecimal "0x..." with an
// optional binary exponent, "inf", "infinity", "nan", "nan(...)" in any letter case, each with an
// optional sign); overflow gives an infinity, underflow zero or a denormal. Text that starts no
// number gives 0.
// AtoiText: leading white space, an optional sign and the decimal digits that follow; anything
// else gives 0. A value beyond 32 bits is clamped to INT_MIN or INT_MAX, as a 32-bit strtol does.
#include <string_view>

namespace quarnel {

double AtofText(std::string_view text);
int AtoiText(std::string_view text);

}  // namespace quarnel
