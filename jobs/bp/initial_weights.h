#pragma once
// Random initial network, drawn from the process's rand(): after srand(seed) when a seed is given,
// else from the generator as it stands. The C runtime's generator is one for the whole process,
// so the drawing holds one process-wide lock from the seeding through the last draw: runs on
// several threads never interleave their draws, and a seed gives the same network in any thread.
// The draws themselves are the training job's, unchanged.
//
// The groups are drawn in this order, each element one rand() converted to double:
// hiddenThreshold, outputThreshold, weightInputHidden row by row, weightHiddenOutput row by row.
// Each group is then mapped linearly onto [-0.5, 0.5] by its running minimum and maximum:
// a threshold vector by the range of the whole vector; a weight matrix row by row, row r by the
// range of rows 0 .. r. Where the raw values seen so far are all equal the range is empty and
// the elements map to 0.0.
#include <cstddef>
#include <optional>

#include "jobs/bp/bp_records.h"

namespace quarnel {

void DrawInitialWeights(BPNetwork& network, std::optional<unsigned> seed = std::nullopt);

void ScaleThresholdGroup(double* values, std::size_t count);
void ScaleWeightRows(double* values, std::size_t rows, std::size_t cols);

}  // namespace quarnel
