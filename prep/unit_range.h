#pragma once
// The two value rules the preparation jobs share.
#include <cmath>

namespace quarnel::prep {

// No-data test of normalisation and window statistics: within 1 of the blank value, so text
// grids that wrote 99999 with a rounding error still count as blank.
inline bool IsBlank(double v, double blank) {
    return std::fabs(v - blank) <= 1;
}

// v rescaled from [low, high] to [0, 1]. A range of one value (constant data) has no width
// to divide by; every value of it maps to 0 rather than to 0/0.
inline double RescaleToUnit(double v, double low, double high) {
    return high == low ? 0.0 : (v - low) / (high - low);
}

}  // namespace quarnel::prep
