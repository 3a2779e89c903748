#include "feature/feater_status.h"

#include "feature/feater_types.h"

namespace quarnel {

const char* FeaterStatusText(int status) {
    if (status >= kFeaterGridUnopened && status < kFeaterGridUnopened + kMaxFeaterVars) {
        return "the evidence grid of variable i (counted from 0: i = status - 3001) cannot be opened";
    }
    switch (status) {
        case kFeaterOk:
            return "success";
        case kFeaterFileUnavailable:
            return "the parameter file cannot be opened, or the score grid cannot be created or written";
        case kFeaterBadKeyword:
            return "the parameter file's first token is not \"QelFrmFeater\" (case counts), or the file is "
                   "empty";
        case kFeaterParamsRefused:
            return "the parameter file is refused: variable count outside 1..50, method not 0 or 1, a field "
                   "missing or unparsable, a token longer than its field (keyword 19, names and grid paths "
                   "99, other paths 199, grid header word and model-unit title 51 characters), or the report "
                   "or score grid names the parameter file, an evidence grid, the model-unit file (units "
                   "requested) or the other output; refused before the report is created, except the grid "
                   "and model-unit tokens, which are read later";
        case kFeaterMalformedInput:
            return "an evidence grid or the model-unit file is malformed: a header or value that does not "
                   "parse, a grid value that is not finite, grid counts that are not positive or promise "
                   "more values than the file can hold, rows or columns that differ from the last grid's, a "
                   "grid or unit file that ends early, a negative unit count or one the file cannot hold";
        case kFeaterReportUnwritten:
            return "the report cannot be created, or writing it failed";
        case kFeaterNoWeights:
            return "the weights cannot be formed: all vector lengths 0 (method 0), a variable that never "
                   "codes non-zero over the cells used, or a first eigenvector summing to 0 (method 1)";
        case kFeaterNoMemory:
            return "memory exhausted";
        case kFeaterUnitFileUnopened:
            return "the model-unit file cannot be opened (model units requested)";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel
