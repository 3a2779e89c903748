#include "jobs/feature/feature_job.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/frame/quarnel.h"

namespace quarnel {

// The report's buffers can fail to grow, and so can the results: either ends the job as memory
// exhausted.
FeatureOutcome RunFeatureJob(const char* parameterFile) noexcept {
    FeatureOutcome outcome;
    try {
        CMine_Feater job;
        outcome.status = job.Run(parameterFile);
        outcome.cause = job.Cause();
        outcome.results = job.Results();
        outcome.params = job.TakeParams();
    } catch (...) {
        outcome.status = kFeatureNoMemory;
        outcome.cause.clear();
    }
    return outcome;
}

}  // namespace quarnel

extern "C" QUARNEL_API int QUARNEL_CALL qelFeater(const char* parameterFile) {
    return quarnel::RunFeatureJob(parameterFile).status;
}
