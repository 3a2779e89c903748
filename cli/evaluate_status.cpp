#include "cli/evaluate_status.h"

namespace quarnel::cli {

const char* EvaluateStatusText(int status) {
    switch (status) {
        case kEvaluateOk:
            return "success";
        case kEvaluateInputUnread:
            return "an input cannot be read: a raster or point file GDAL cannot open or read, points that "
                   "cannot be reprojected, an evaluation file that is not the JSON of a successful evaluate "
                   "--json (a key missing or holding another kind of value); or memory ran out, or the "
                   "raster needs more than is free";
        case kEvaluateInputsUnfit:
            return "the inputs do not fit together: a mask on another grid than the map, no deposit on a "
                   "valid cell, a raster that is not north-up, an evaluation without the curve asked for "
                   "(not formed, or no holdout for prediction-rate), more classes than a class table (1000) "
                   "or a picture (20) takes, more than 20 curves";
        case kEvaluateOutputUnwritten:
            return "an output cannot be written: the CSV folder or a CSV file, the picture (also a name "
                   "ending in neither .png nor .svg)";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel::cli
