#pragma once
// The arithmetic of BP classification over a cell-by-input matrix ([cells][inputCount],
// row-major, column i holding network input i).
//
// No-data: a value within 0.1 of 99999 is blank.
// RescaleColumns: one running range [lo, hi], from `start`, never reset. For column i, each
// non-blank value is folded into the range, then each non-blank value v of the column becomes
// (v - lo) / (hi - lo) with the range as it now stands; column i is thus scaled by the range of
// columns 0 .. i together. Where that range is empty (all values seen are equal) the values
// become 0. Blank values stay as they are.
// ClassValue: the value written for a cell. 1 when its first input is blank. Otherwise the
// forward pass (blank inputs left out of the hidden sums) gives one bit per output, 1 where the
// output is above 0.5, output 0 the most significant; the value is that code plus 2.
#include <cstddef>

#include "bp/bp_records.h"

namespace quarnel {

inline constexpr double kDsaaBlank = 99999.0;

bool IsBlankInput(double v);

struct InputRange {
    double lo = 1e308;
    double hi = -1e308;
};

void RescaleColumns(double* matrix, std::size_t cells, int inputCount, InputRange range);

// hidden and outputs are scratch of hiddenCount and outputCount values.
int ClassValue(const BPNetwork& network, const double* x, double* hidden, double* outputs);

}  // namespace quarnel
