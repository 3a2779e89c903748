// The feature-analysis parameter file: the reader must fill only what fits its fields,
// and a record it accepts must keep every limit. Inputs that name no other folder are then run
// as a whole job in the scratch folder, which must never change the parameter file.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "jobs/feature/feature_params.h"
#include "jobs/feature/feature_status.h"
#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"

namespace {

using quarnel::FeatureParams;
using quarnel::fuzz::Terminated;

bool WithinLimits(const FeatureParams& params) {
    if (params.varCount < 1 || params.varCount > quarnel::kMaxFeatureVars) return false;
    if (params.method != 0 && params.method != 1) return false;
    if (!Terminated(params.modelUnitPath) || !Terminated(params.scoreGridPath) ||
        !Terminated(params.reportPath)) {
        return false;
    }
    for (int i = 0; i < params.varCount; ++i) {
        if (!Terminated(params.vars[i].name) || !Terminated(params.vars[i].gridPath)) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("p", data, size);
    static FeatureParams params;
    std::memset(&params, 0xA5, sizeof params);
    const int status = quarnel::ReadFeatureParams(path.c_str(), params);
    if (status == quarnel::kFeatureOk && !WithinLimits(params)) std::abort();
    if (quarnel::fuzz::NamesOtherFolders(data, size)) return 0;
    scratch.Enter();
    qelFeater("p");
    quarnel::fuzz::RequireUnchanged("p", data, size);
    return 0;
}
