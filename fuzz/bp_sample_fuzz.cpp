// The BP sample file: the reader over a sample set of fixed counts, then a short training job
// on it, with its network and result files in the scratch folder. Training must finish with a
// status of its own (NaN and infinite inputs included) and leave the sample file as it was.
#include <cstdint>
#include <cstdlib>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/bp_status.h"
#include "jobs/bp/sample_file.h"
#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr int kSamples = 4;
constexpr int kInputs = 3;
constexpr int kHidden = 4;
constexpr int kOutputs = 2;
constexpr int kEpochs = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string samplePath = scratch.Write("samples", data, size);
    quarnel::BPSampleSet samples;
    samples.Allocate(kSamples, kInputs, kOutputs);
    quarnel::ReadSampleFile(samplePath.c_str(), samples);
    const int status =
        OnBPTrain(samplePath.c_str(), scratch.Path("net").c_str(), scratch.Path("result").c_str(), kSamples,
                  kInputs, kHidden, kOutputs, kEpochs, 0.0);
    if (status != quarnel::kBPTrainDone && status != quarnel::kBPTrainNoSampleFile) std::abort();
    quarnel::fuzz::RequireUnchanged(samplePath, data, size);
    return 0;
}
