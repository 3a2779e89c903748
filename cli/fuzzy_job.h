#pragma once
// fuzzy: fuzzy overlay of evidence rasters (geo/fuzzy.h), as the command runs it and as the
// workflow runs it, so that both give one result. Status 0 written, 1 failed
// (docs/statuses.md, status:geo).
#include <string>
#include <vector>

#include "cli/job_output.h"
#include "geo/fuzzy.h"
#include "geo/points.h"
#include "quarnel/requests.h"

namespace quarnel::cli {

struct FuzzyArgs {
    std::vector<std::string> evidence;
    std::vector<std::string> memberships;  // one rule per input (fuzzy::ParseMembership)
    std::string op{params::fuzzy::kOperatorChoices[std::size_t(params::fuzzy::kOperator.value)]};
    double gamma = params::fuzzy::kGamma.value;
    std::string output;
    std::string membershipFolder;  // empty: memberships not written
    std::string deposits;          // empty: not judged
    geo::PointOptions points;
    geo::WriteOptions write;
    bool json = false;
};

// The statuses of fuzzy and logistic, as the rasters and points commands' (docs/statuses.md,
// status:geo).
inline constexpr int kMethodWritten = 0;
inline constexpr int kMethodFailed = 1;
const char* MethodStatusText(int status);

// The operator named word ("and", "or", "product", "sum", "gamma"); throws std::invalid_argument.
fuzzy::Operator FuzzyOperatorNamed(const std::string& word);

// Runs the overlay: outputs, results {inputs, operator, gamma, output, validation} and summary.
// Stopped passes on (Ctrl-C through progress).
JobOutput FuzzyOutput(const FuzzyArgs& args, const Progress& progress);

}  // namespace quarnel::cli
