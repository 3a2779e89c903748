#include "frame/quarnel.h"
#include "hierarchy/hierarchy_status.h"
#include "hierarchy/mine_decompos.h"

// Nothing but a status crosses the boundary. The only exceptions the job can meet are failures
// to obtain memory for its buffers; by the time one arrives here every file is closed.
extern "C" QUARNEL_API int QUARNEL_CALL qelDecompos(const char* parameterFile) {
    try {
        quarnel::CMine_Decompos job;
        return job.Run(parameterFile);
    } catch (...) {
        return quarnel::hierarchy_status::kNoMemory;
    }
}
