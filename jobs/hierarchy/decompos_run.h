#pragma once
// One run of the hierarchy job as the command-line host sees it: the status the export returns,
// the actual cause of a failure where it is known (which file, what, where), and the results
// the report and outputs were written from. The export itself returns only the status.
#include <quarnel/hierarchy.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

struct RankedRow {
    std::string name;
    float score = 0.0f;
    std::int32_t rank = 0;
};

// Ranks of target 0 kept for the host; the report lists every row.
inline constexpr std::int32_t kRanksKept = 10;

struct DecomposRun {
    int status = 0;
    std::string cause;        // empty when nothing more than the status is known
    bool paramsRead = false;  // params holds the parsed parameter file
    HierarchyParams params{};
    bool weightsComputed = false;  // weights holds the matrices (also when one failed its test)
    hierarchy::HierarchyWeights weights;
    std::int32_t rowsScored = 0;     // targets 0 and 2: rows of the table
    std::vector<RankedRow> ranking;  // target 0: the first kRanksKept ranks
    std::int32_t gridRows = 0;       // target 1: the output grid's size
    std::int32_t gridCols = 0;
};

// Runs the job on the parameter file as qelDecompos does; never throws (a failure to obtain
// memory is status 3070).
DecomposRun RunDecompos(const char* parameterFile);

}  // namespace quarnel
