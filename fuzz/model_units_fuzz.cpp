// The model-unit file: a list the reader accepts holds exactly its count of units, and sorting
// it orders the units by row, then column.
#include <cstdint>
#include <cstdlib>

#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/model_units.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quarnel::fuzz::Scratch::Fresh().Write("units", data, size);
    quarnel::ModelUnitList units;
    if (quarnel::ReadModelUnits(path.c_str(), units) != quarnel::kFeatureOk) return 0;
    if (units.unitCount < 0) std::abort();
    quarnel::CMine_Feater engine;
    engine.SortModelUnits(units.unitRows.get(), units.unitCols.get(), units.unitSizes.get(), units.unitCount);
    for (int k = 1; k < units.unitCount; ++k) {
        const bool ordered =
            units.unitRows[k - 1] < units.unitRows[k] ||
            (units.unitRows[k - 1] == units.unitRows[k] && units.unitCols[k - 1] <= units.unitCols[k]);
        if (!ordered) std::abort();
    }
    return 0;
}
