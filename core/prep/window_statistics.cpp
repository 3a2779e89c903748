#include <cmath>

#include "quarnel/prep.h"

namespace quarnel::prep {

WindowStatistics StatisticsOfWindow(const double* const* values, int top, int left, int w, double blank) {
    long long blanks = 0;
    double sum = 0;
    for (int r = top; r < top + w; ++r) {
        for (int c = left; c < left + w; ++c) {
            if (IsBlank(values[r][c], blank))
                ++blanks;
            else
                sum += values[r][c];
        }
    }
    const long long cells = static_cast<long long>(w) * w;
    if (blanks > cells / 2) return {blank, blank};
    const double n = static_cast<double>(cells - blanks);
    const double mean = sum / n;
    double squares = 0;
    for (int r = top; r < top + w; ++r) {
        for (int c = left; c < left + w; ++c) {
            if (IsBlank(values[r][c], blank)) continue;
            const double d = values[r][c] - mean;
            squares += d * d;
        }
    }
    return {mean, std::sqrt(squares / n)};
}

}  // namespace quarnel::prep
