#include <exception>

#include "feature/feature_status.h"
#include "feature/mine_feater.h"
#include "frame/quarnel.h"

// Nothing may leave the library but the status: anything thrown inside the job (the report's
// buffers can fail to grow) ends it as memory exhausted.
extern "C" QUARNEL_API int QUARNEL_CALL qelFeater(const char* parameterFile) {
    try {
        quarnel::CMine_Feater job;
        return job.Run(parameterFile);
    } catch (...) {
        return quarnel::kFeatureNoMemory;
    }
}
