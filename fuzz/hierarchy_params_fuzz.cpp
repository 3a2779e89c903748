// The hierarchy parameter file: the reader must fill only what fits its fields, and the whole
// job runs on the file in the scratch folder, where a small grid "g" and an anomaly table "t"
// wait for the names the file may give. The job must never change the parameter file.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/read_hierarchy_params.h"

namespace {

using quarnel::HierarchyParams;
using quarnel::fuzz::Terminated;

bool WithinLimits(const HierarchyParams& params) {
    if (!Terminated(params.outputFile) || !Terminated(params.reportFile)) return false;
    for (int level = 0; level < quarnel::kLevelCount; ++level) {
        if (!params.LevelPresent(level)) continue;
        if (params.elementCount[level] < 0 || params.elementCount[level] > quarnel::kMaxElements)
            return false;
        for (int i = 0; i < params.elementCount[level]; ++i) {
            if (!Terminated(params.elements[level][i].name) || !Terminated(params.elements[level][i].file)) {
                return false;
            }
        }
    }
    return true;
}

constexpr char kGrid[] = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 99999 6\n";
constexpr char kTable[] = "AnmLvl 2 2\nName X Y\nA1 1 2\nA2 3 4\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("p", data, size);
    static HierarchyParams params;
    std::memset(&params, 0xA5, sizeof params);
    if (quarnel::ReadHierarchyParams(path.c_str(), params) == quarnel::hierarchy_status::kSuccess &&
        !WithinLimits(params)) {
        std::abort();
    }
    if (quarnel::fuzz::NamesOtherFolders(data, size)) return 0;
    scratch.Write("g", kGrid);
    scratch.Write("t", kTable);
    scratch.Enter();
    qelDecompos("p");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
