#pragma once
// The grid preparation jobs behind OnDataNormalize and OnCalAvgVar, with what a host may want to
// report besides the status (1 written, 0 failed): the range a grid was rescaled by and its
// cells, or the shape of the window grids; cause says in words why a job stopped, where known.
#include <cstdint>
#include <string>

#include "quarnel/prep.h"

namespace quarnel::prep {

struct NormalizeReport {
    int status = 0;
    std::string cause;
    ValueRange range;  // low > high: every value blank
    int rows = 0;
    int cols = 0;
    std::int64_t blanks = 0;
};

NormalizeReport RunNormalize(const char* inputFile, const char* outputFile) noexcept;

struct WindowStatsReport {
    int status = 0;
    std::string cause;
    int window = 0;
    int rows = 0;  // of each output grid: the complete windows down and across
    int cols = 0;
};

WindowStatsReport RunCalAvgVar(const char* inPath, const char* meanPath, const char* stdPath, int w) noexcept;

}  // namespace quarnel::prep
