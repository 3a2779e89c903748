#include "jobs/frame/quarnel.h"
#include "jobs/hierarchy/decompos_run.h"

// Nothing but a status crosses the boundary; RunDecompos lets no exception out.
extern "C" QUARNEL_API int QUARNEL_CALL qelDecompos(const char* parameterFile) {
    return quarnel::RunDecompos(parameterFile).status;
}
