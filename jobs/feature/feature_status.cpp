#include "jobs/feature/feature_status.h"

#include "jobs/feature/feature_types.h"

namespace quarnel {

const char* FeatureStatusText(int status) {
    if (status >= kFeatureGridUnopened && status < kFeatureGridUnopened + kMaxFeatureVars) {
        return "the evidence grid of variable i (counted from 0: i = status - 3001) cannot be opened";
    }
    switch (status) {
        case kFeatureOk:
            return "success";
        case kFeatureFileUnavailable:
            return "the parameter file cannot be opened, or the score grid cannot be created or written";
        case kFeatureBadKeyword:
            return "the parameter file's first token is not \"QelFrmFeater\" (case counts), or the file is "
                   "empty";
        case kFeatureParamsRefused:
            return "the parameter file is refused: variable count outside 1..50, method not 0 or 1, a field "
                   "missing or unparsable, a token longer than its field (keyword 19, names and grid paths "
                   "99, other paths 199, grid header word and model-unit title 51 characters), or the report "
                   "or score grid names the parameter file, an evidence grid, the model-unit file (units "
                   "requested) or the other output; refused before the report is created, except the grid "
                   "and model-unit tokens, which are read later";
        case kFeatureMalformedInput:
            return "an evidence grid or the model-unit file is malformed: a header or value that does not "
                   "parse, a grid value that is not finite, grid counts that are not positive or promise "
                   "more values than the file can hold, rows or columns that differ from the last grid's, a "
                   "grid or unit file that ends early, a negative unit count or one the file cannot hold";
        case kFeatureReportUnwritten:
            return "the report cannot be created, or writing it failed";
        case kFeatureNoWeights:
            return "the weights cannot be formed: all vector lengths 0 (method 0), a variable that never "
                   "codes non-zero over the cells used, or a first eigenvector summing to 0 (method 1)";
        case kFeatureNoMemory:
            return "memory exhausted";
        case kFeatureUnitFileUnopened:
            return "the model-unit file cannot be opened (model units requested)";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel
