#include "bp/bp_status.h"

namespace quarnel {

const char* BPTrainStatusText(int status) {
    switch (status) {
        case kBPTrainDone:
            return "done: the network file and the training result file are written";
        case kBPTrainNoSampleFile:
            return "no valid sample file: it cannot be opened or its first line is not the sample-file "
                   "header";
        case kBPTrainFailed:
            return "failed: a count is out of range, an output file cannot be created or written (or names "
                   "the "
                   "sample file or the other output), or memory ran out";
        default:
            return "unknown status";
    }
}

const char* BPClassStatusText(int status) {
    switch (status) {
        case kBPClassDone:
            return "done: the class grid is written";
        case kBPClassFailed:
            return "failed: memory ran out, a binary grid cannot be read, or the output grid cannot be "
                   "created "
                   "(or names an input)";
        case kBPClassMisfit:
            return "the inputs do not fit: a file cannot be opened or is not of its kind, cell counts "
                   "differ, the "
                   "grids do not match the network's inputs, or fewer kinds than files";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel
