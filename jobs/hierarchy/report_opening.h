#pragma once
// The hierarchy report's sections, each printed from parameters and the core's results, so the
// job and a host that ran the core itself write the same bytes.
#include <quarnel/hierarchy.h>

#include <cstdint>

#include "formats/grid/text_sink.h"
#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

// Title, target line, the main level with the importance of each present level, then each
// present level's elements with their importances.
void WriteReportOpening(const HierarchyParams& params, TextSink& report);

// The judgement-matrix sections of weights.matrices in order, each with its weights, maximum
// eigenvalue and consistency (level matrices with their elements' total weights), ending after
// the first matrix that fails its test. That matrix, or null when every one passed.
const hierarchy::MatrixResult* WriteWeightSections(const HierarchyParams& params,
                                                   const hierarchy::HierarchyWeights& weights,
                                                   TextSink& report);

// Regular-grid target: the size of the element grids, written before the output grid is made.
void WriteGridSize(std::int32_t rows, std::int32_t cols, TextSink& report);

}  // namespace quarnel
