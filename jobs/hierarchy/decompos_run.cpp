#include "jobs/hierarchy/decompos_run.h"

#include <utility>

#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/mine_decompos.h"

namespace quarnel {

// The only exceptions the job can meet are failures to obtain memory for its buffers; by the
// time one arrives here every file is closed.
DecomposRun RunDecompos(const char* parameterFile) {
    try {
        CMine_Decompos job;
        job.Run(parameterFile);
        return std::move(job.LastRun());
    } catch (...) {
        DecomposRun run;
        run.status = hierarchy_status::kNoMemory;
        return run;
    }
}

}  // namespace quarnel
