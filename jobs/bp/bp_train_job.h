#pragma once
// The BP training job behind OnBPTrain, with what a host may want to report besides the status.
//
// Order: check the counts (0 when sampleCount < 0 or a layer count < 1), allocate everything
// (0 when memory runs out), read the sample file (2 when it cannot be opened or lacks the
// header; no output touched), draw the initial weights from rand() (after srand(seed) when the
// request holds a seed, under the process's one lock over the generator: jobs/bp/initial_weights.h),
// train, write the network file, then the result file (0 when either cannot be created or
// written, or names the sample file or the other output). 1 when both files are written,
// converged or not. cause says in words why a job that did not finish stopped (which file, what).
// A progress that says stop ends the training with status 0, stopped set and no output touched.
#include <optional>
#include <string>

#include "quarnel/bp.h"

namespace quarnel {

struct BPTrainRequest {
    const char* sampleFile;
    const char* networkFile;
    const char* resultFile;
    int sampleCount;
    int inputCount;
    int hiddenCount;
    int outputCount;
    int maxIterations;
    double errorLimit;
    std::optional<unsigned> seed = std::nullopt;  // the exported job never seeds
};

struct BPTrainReport {
    int status = 0;
    std::string cause;
    bool stopped = false;  // the progress said stop
    BPTrainingSummary summary;
};

BPTrainReport RunBPTrain(const BPTrainRequest& request, const Progress& progress = {}) noexcept;

}  // namespace quarnel
