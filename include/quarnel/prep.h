#pragma once
// Preparation methods over a grid held in memory as rows of doubles: min-max scaling to 0..1
// and the statistics of w x w windows. A value within 1 of the grid's blank value is no data:
// it is left out of every range, sum and deviation, and stays blank.
#include <cmath>
#include <cstdint>

namespace quarnel::prep {

inline bool IsBlank(double v, double blank) {
    return std::fabs(v - blank) <= 1;
}

// v rescaled from [low, high] to [0, 1]. A range of one value (constant data) has no width to
// divide by; every value of it maps to 0 rather than to 0/0.
inline double RescaleToUnit(double v, double low, double high) {
    return high == low ? 0.0 : (v - low) / (high - low);
}

struct ValueRange {
    double low = 1e308;
    double high = -1e308;  // low > high: no value counted
};

// The smallest and largest values of rows x cols that are not blank.
ValueRange NonBlankRange(const double* const* values, int rows, int cols, double blank);

// How many values of rows x cols are blank.
std::int64_t CountBlanks(const double* const* values, int rows, int cols, double blank);

struct WindowStatistics {
    double mean = 0;
    double deviation = 0;  // population standard deviation
};

// The w x w window whose top-left cell is (top, left): the mean and deviation of its non-blank
// values, summed in row-major order; blank for both when more than half its cells are blank.
WindowStatistics StatisticsOfWindow(const double* const* values, int top, int left, int w, double blank);

}  // namespace quarnel::prep
