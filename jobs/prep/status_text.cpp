#include "jobs/prep/status_text.h"

namespace quarnel::prep {

namespace {
constexpr const char* kUnknown = "not a status of this job";
}

const char* NormalizeStatusText(int status) {
    switch (status) {
        case 1:
            return "the normalised grid was written";
        case 0:
            return "failed: the input cannot be opened, is not a whole DSAA or KVSGDB01 grid or holds a "
                   "value that is not finite, memory ran out, or the output cannot be written or names the "
                   "input";
        default:
            return kUnknown;
    }
}

const char* Normalize2StatusText(int status) {
    if (status == -1) return "unknown input kind (0 or 1: a grid, 2: a multi-grid file); no file was touched";
    return NormalizeStatusText(status);
}

const char* NormalizeHxfStatusText(int status) {
    return status == 0
               ? "finished; the status carries nothing else: without a new output file the multi-grid file "
                 "could not be opened, the output not created, a grid not loaded or the dump not written "
                 "whole (an output naming the multi-grid file is never created); the host's hxf-dump says "
                 "which"
               : kUnknown;
}

const char* CalAvgVarStatusText(int status) {
    switch (status) {
        case 1:
            return "the mean and deviation grids were written";
        case 0:
            return "failed: the window size is below 1 or larger than the grid, the input cannot be opened, "
                   "is not a whole DSAA or KVSGDB01 grid or holds a value that is not finite, memory ran "
                   "out, or an output cannot be written, names the input or names the other output";
        default:
            return kUnknown;
    }
}

}  // namespace quarnel::prep
