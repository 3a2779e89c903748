#include "quarnel/prep.h"

namespace quarnel::prep {

ValueRange NonBlankRange(const double* const* values, int rows, int cols, double blank) {
    ValueRange range;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const double v = values[r][c];
            if (IsBlank(v, blank)) continue;
            if (v < range.low) range.low = v;
            if (v > range.high) range.high = v;
        }
    }
    return range;
}

std::int64_t CountBlanks(const double* const* values, int rows, int cols, double blank) {
    std::int64_t blanks = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (IsBlank(values[r][c], blank)) ++blanks;
    return blanks;
}

}  // namespace quarnel::prep
