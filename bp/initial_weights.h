#pragma once
// Random initial network, drawn from the process's rand() (never seeded here: the network
// depends on the generator's state, and a host that wants a given network calls srand first).
//
// The groups are drawn in this order, each element one rand() converted to double:
// hiddenThreshold, outputThreshold, weightInputHidden row by row, weightHiddenOutput row by row.
// Each group is then mapped linearly onto [-0.5, 0.5] by its running minimum and maximum:
// a threshold vector by the range of the whole vector; a weight matrix row by row, row r by the
// range of rows 0 .. r. Where the raw values seen so far are all equal the range is empty and
// the elements map to 0.0.
#include <cstddef>

#include "bp/bp_records.h"

namespace quarnel {

void DrawInitialWeights(BPNetwork& network);

void ScaleThresholdGroup(double* values, std::size_t count);
void ScaleWeightRows(double* values, std::size_t rows, std::size_t cols);

}  // namespace quarnel
