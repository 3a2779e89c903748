#pragma once
// The feature report's sections, each printed from parameters or the core's results, so the job
// and a host that ran the core itself write the same bytes. n is the number of variables;
// matrices are n x n, row-major.
#include "formats/grid/text_sink.h"
#include "jobs/feature/feature_types.h"
#include "quarnel/feature.h"

namespace quarnel {

// Title with the method, whether model units are used, and each variable's name, bounds and grid.
void WriteFeatureReportOpening(const FeatureParams& params, TextSink& report);
// The product matrix as built.
void WriteProductMatrix(const float* p, int n, TextSink& report);
// Method 0: the vector length of each row of the product matrix.
void WriteVectorLengths(const float* lengths, int n, TextSink& report);
// Method 1: the normalised product matrix, then its first principal component.
void WriteNormalisedMatrix(const float* p, int n, TextSink& report);
void WriteFirstComponent(const float* component, int n, TextSink& report);
// The variables' weights, which end the weights section.
void WriteVariableWeights(const float* w, int n, TextSink& report);
// With model units: the back-judgement table's heading, then one row per unit met in cell order.
void WriteUnitHeading(TextSink& report);
void WriteUnitRow(const feature::UnitJudgement& unit, TextSink& report);
// The last words of a job that succeeded.
void WriteFeatureReportEnd(TextSink& report);

}  // namespace quarnel
