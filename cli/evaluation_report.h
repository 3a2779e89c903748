#pragma once
// The evaluate command's work after its inputs are read: the ranked map and deposits in, the
// evaluation of every deposit set asked for (all deposits; with a holdout the training and the
// held-out deposits; with folds each fold's) out as results, summary lines and CSV curve files.
// Kept apart from the reading so the JSON keys and the files can be tested on cells in memory.
// --classes refuses a map of more than 1000 distinct values (status 2).
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cli/evaluate_status.h"
#include "cli/job_output.h"
#include "quarnel/evaluate.h"

namespace quarnel::cli {

struct EvaluationRequest {
    std::optional<double> holdout;  // the share of deposits held out
    int folds = 0;                  // 0: no folds
    std::uint64_t seed = 0;
    bool classes = false;   // the map's values are classes: add the class table
    std::string csvFolder;  // empty: no CSV files
};

// Fills output (status, cause, results, summary, outputs) from the ranked map.
void ReportEvaluation(const evaluate::RankedMap& map, const EvaluationRequest& request, JobOutput& output);

}  // namespace quarnel::cli
