#pragma once
// CMine_Decompos: the hierarchy-analysis job, an adapter around the core (quarnel/hierarchy.h).
// Run reads the parameter file, writes the report opening, lets ComputeWeights have the core
// form the judgement matrices, weights and consistency and write their sections, then scores
// with one target operation. Every stage appends to the one report and returns a status; the
// first failing stage ends the job with it, and what the stages learn (results, the cause of a
// failure) is kept in LastRun. Every file a stage opens is closed by the time it returns.
#include <quarnel/hierarchy.h>

#include "formats/grid/text_sink.h"
#include "jobs/hierarchy/decompos_run.h"
#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

static_assert(kLevelCount == hierarchy::kLevelCount && kMaxElements == hierarchy::kMaxOrder);

// A judgement matrix of order 0 to 10, in the first rows and columns of a 10 x 10 array.
using JudgementMatrix = hierarchy::Matrix;

class CMine_Decompos {
  public:
    CMine_Decompos() = default;
    virtual ~CMine_Decompos() = default;

    // The whole job: 0 on success, else the status of the first failure (hierarchy_status.h).
    int Run(const char* parameterFile);

    // Writes the judgement-matrix sections and fills totalWeights for the present levels.
    // presentImportance holds the n present levels' importances. 0, or 3501 when the main matrix
    // or the combined consistency of the levels so far fails its test.
    int ComputeWeights(const HierarchyParams& params, const float* presentImportance,
                       TotalWeights& totalWeights, int n, TextSink& report);

    // Geometric-mean weights of the first order rows of matrix and the maximum eigenvalue;
    // lambdaMax is not a number for order 0. Always 0.
    int PrincipalVector(const JudgementMatrix& matrix, float* weights, float* lambdaMax, int order);

    // Target 0: scores the rows of the anomaly table and writes their ranking to the report.
    int RankAnomalies(const HierarchyParams& params, const TotalWeights& totalWeights, TextSink& report);
    // Target 2: scores the rows of the table and writes them, in input order, to outputFile.
    int PredictIrregularGrid(const HierarchyParams& params, const TotalWeights& totalWeights,
                             TextSink& report);
    // Target 1: streams the element grids cell by cell into the KVSGDA01 grid outputFile.
    int PredictRegularGrid(const HierarchyParams& params, const TotalWeights& totalWeights, TextSink& report);

    // The status, the cause of a failure and the results of the last Run (or of the stages
    // called since the job was made).
    DecomposRun& LastRun() { return run_; }

  private:
    DecomposRun run_;
};

}  // namespace quarnel
