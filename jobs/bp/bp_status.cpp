#include "jobs/bp/bp_status.h"

namespace quarnel {

// The status tables of docs/statuses.md say the same, word for word.
const char* BPTrainStatusText(int status) {
    switch (status) {
        case kBPTrainDone:
            return "done: the network file and the training result file are written, whether or not the "
                   "error reached the limit";
        case kBPTrainNoSampleFile:
            return "no valid sample file: it cannot be opened, its first line is not the header or a line is "
                   "longer than 64 MiB; no output is created or changed";
        case kBPTrainFailed:
            return "failed: sampleCount below 0 or a layer count below 1 (before any file is touched), "
                   "memory that cannot be had, a network or result file that cannot be created or written, "
                   "or an output path that names the sample file or the other output";
        default:
            return "unknown status";
    }
}

const char* BPClassStatusText(int status) {
    switch (status) {
        case kBPClassDone:
            return "done: the class grid is written";
        case kBPClassFailed:
            return "failed: working memory cannot be had (all of it is asked for at once), a KVSGDB01 or HXF "
                   "grid cannot be read or holds a value that is not finite, or the output grid cannot be "
                   "created or written or names the network file or an input";
        case kBPClassMisfit:
            return "the inputs do not fit: the network file cannot be opened, has a count below 1 or more "
                   "than 30 outputs, or promises more values than it has bytes; fewer kinds than files; an "
                   "input cannot be opened or is not a grid of its kind (kind \"1\" whose first line is not "
                   "\"DSAA\", also as the only input; kind \"0\" whose header cannot be read); no input "
                   "promises a cell; cell counts differ; the grids counted differ from the network's inputs; "
                   "a DSAA body holds another number of values than cells or a value that is not finite; a "
                   "network or DSAA line longer than 64 MiB";
        default:
            return "unknown status";
    }
}

}  // namespace quarnel
