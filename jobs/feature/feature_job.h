#pragma once
// The feature-analysis job run for a host: qelFeater's status, and with it what the job found
// and, on failure, the cause where known (which file, what, where). qelFeater returns only the
// status of this run. Nothing thrown inside leaves it: anything thrown is memory exhausted.
#include <memory>
#include <string>

#include "jobs/feature/feature_types.h"
#include "quarnel/feature.h"

namespace quarnel {

struct FeatureOutcome {
    int status = 0;
    std::string cause;
    feature::AnalysisResults results;
    std::unique_ptr<FeatureParams> params;  // as the job read them; null when it could not
};

FeatureOutcome RunFeatureJob(const char* parameterFile) noexcept;

}  // namespace quarnel
