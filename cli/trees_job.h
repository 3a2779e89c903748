#pragma once
// trees: gradient-boosted trees or a random forest on evidence rasters (geo/trees.h), as the
// command runs it and as the workflow runs it, so that both give one result. Statuses as fuzzy's
// (cli/fuzzy_job.h).
#include <string>

#include "cli/job_output.h"
#include "geo/trees.h"

namespace quarnel::cli {

// Trains and maps; request.deposits already read. results: samples, trees, parameters (XGBoost's,
// with the rounds), importance per input, intercept_correction (the map's shift of the log-odds),
// training {log_loss, auc} and folds when asked (on the samples, unshifted), output;
// with judgeAgainst (a points file) the map is judged as evaluate judges it (validation).
// Stopped passes on.
JobOutput TreesOutput(const geo::TreesRasterRequest& request, const std::string& judgeAgainst,
                      const geo::PointOptions& points, const geo::WriteOptions& write,
                      const Progress& progress);

}  // namespace quarnel::cli
