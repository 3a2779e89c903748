#pragma once
// logistic: logistic regression on evidence rasters (geo/logistic.h), as the command runs it and
// as the workflow runs it, so that both give one result. Statuses as fuzzy's (cli/fuzzy_job.h).
#include <string>

#include "cli/job_output.h"
#include "geo/logistic.h"

namespace quarnel::cli {

// Fits and maps; request.deposits already read. With judgeAgainst (a points file) the map is
// judged as evaluate judges it (results.validation). Stopped passes on.
JobOutput LogisticOutput(geo::LogisticRasterRequest request, const std::string& judgeAgainst,
                         const geo::PointOptions& points, const geo::WriteOptions& write,
                         const Progress& progress);

}  // namespace quarnel::cli
