#pragma once
// Large benchmark grids: a DSAA text grid of size x size values with 2 to 4 decimals and
// about 3 % blanks (99999), and the same float32 values as a KVSGDB01 binary grid (rows
// stored in reverse, header zMin/zMax over the non-blank values, blankValue 99999).
// The data follow from the seed alone, so every run measures the same bytes.
#include <string>

namespace quarnel::bench {

struct BenchGrids {
    std::string dsaa;
    std::string kvb;
};

// Writes both grids into dir unless they are there already; false when a file cannot be written.
bool MakeBenchGrids(const std::string& dir, int size, unsigned seed, BenchGrids& out);

}  // namespace quarnel::bench
