#pragma once
// CMine_Feater: feature analysis of n coded evidence grids.
//
// Run reads the parameter file, opens the report, builds the product matrix of the variables'
// ternary codes (over every cell or over the known model units), turns it into one weight per
// variable (vector lengths, or the first principal component of the normalised matrix) and
// scores every cell with the weights. The grids are streamed in lockstep, twice, and never held.
// Every operation returns 0 or a status of feature_status.h; the first failure ends the job.
// The arithmetic is the analysis core's (quarnel/feature.h); the stages read the files, call it,
// write the report and keep its results, and the cause of a failure where one is known.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jobs/feature/feature_types.h"
#include "quarnel/feature.h"

namespace quarnel {

class TextSink;
struct ModelUnitList;

class CMine_Feater {
  public:
    CMine_Feater() = default;
    virtual ~CMine_Feater() = default;
    CMine_Feater(const CMine_Feater&) = delete;
    CMine_Feater& operator=(const CMine_Feater&) = delete;

    int Run(const char* parameterFile);

    // Orders the units by row, then column (selection sorts, the earliest smallest wins).
    int SortModelUnits(std::int32_t* unitRows, std::int32_t* unitCols, std::int32_t* unitSizes, int m);
    // Fills p (n by n, row-major) and writes the product-matrix section.
    int BuildProductMatrix(const FeatureParams& params, float* p, TextSink& report);
    // Method 0: w[i] = 100 * |row i of p| / sum of the row lengths.
    int VectorLengthWeights(const FeatureParams& params, const float* p, float* w, TextSink& report);
    // Method 1: normalises p in place; w = the first eigenvector scaled to absolute sum 100.
    int PrincipalComponentWeights(const FeatureParams& params, float* p, float* w, TextSink& report);
    // Threshold Jacobi on the symmetric a (diagonalised in place); v gets the eigenvectors as
    // columns, values the eigenvalues in descending order. Always returns 0.
    int JacobiEigen(float* a, int n, float* v, float* values);
    // Writes the score grid and, with model units, the back-judgement table.
    int ScoreGrid(const FeatureParams& params, const float* w, TextSink& report);

    // What the stages run so far found.
    const feature::AnalysisResults& Results() const { return results_; }
    // Why the job failed, in English (which file, what, where); empty when not known.
    const std::string& Cause() const { return cause_; }
    // The parameters Run read, or null when the file could not be read whole; the caller takes
    // them, so a host need not read the file again.
    std::unique_ptr<FeatureParams> TakeParams() { return std::move(params_); }

  private:
    // Product matrix, weights and score grid after the report opening; the first failing
    // stage's status.
    int RunStages(const FeatureParams& params, TextSink& report);
    // Reads the model-unit file and sorts its units; the status of ReadModelUnits.
    int LoadModelUnits(const char* path, ModelUnitList& units);

    feature::AnalysisResults results_;
    std::string cause_;
    std::unique_ptr<FeatureParams> params_;
};

// The variables' coding bounds, in variable order.
std::vector<feature::CodeBounds> BoundsOf(const FeatureParams& params);

}  // namespace quarnel
