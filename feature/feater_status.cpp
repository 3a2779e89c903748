#include "feature/feater_status.h"

#include "feature/feater_types.h"

namespace quarnel {

const char* FeaterStatusText(int status) {
    if (status >= kFeaterGridUnopened && status < kFeaterGridUnopened + kMaxFeaterVars) {
        return "an evidence grid cannot be opened (status - 3001 is its variable index)";
    }
    switch (status) {
        case kFeaterOk:
            return "success";
        case kFeaterFileUnavailable:
            return "the parameter file cannot be opened, or the score grid cannot be written";
        case kFeaterBadKeyword:
            return "the parameter file's keyword is not QelFrmFeater";
        case kFeaterParamsRefused:
            return "the parameter file breaks its limits, a token is longer than its field, or an output "
                   "names an input or the other output";
        case kFeaterMalformedInput:
            return "an evidence grid or the model-unit file is malformed, ends early or does not fit";
        case kFeaterReportUnwritten:
            return "the report file cannot be created or written";
        case kFeaterNoWeights:
            return "the variable weights cannot be formed";
        case kFeaterNoMemory:
            return "memory exhausted";
        case kFeaterUnitFileUnopened:
            return "the model-unit file cannot be opened";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel
