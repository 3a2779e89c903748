#include <cstdint>
#include <utility>

#include "jobs/feature/mine_feater.h"
#include "jobs/feature/model_units.h"

namespace quarnel {

namespace {

// Position of the first smallest key among [first, last).
int FirstSmallest(const std::int32_t* keys, int first, int last) {
    int best = first;
    for (int i = first + 1; i < last; ++i) {
        if (keys[i] < keys[best]) best = i;
    }
    return best;
}

void SortRunByColumn(std::int32_t* unitCols, std::int32_t* unitSizes, int first, int last) {
    for (int i = first; i < last - 1; ++i) {
        const int best = FirstSmallest(unitCols, i, last);
        if (best != i) {
            std::swap(unitCols[i], unitCols[best]);
            std::swap(unitSizes[i], unitSizes[best]);
        }
    }
}

}  // namespace

int CMine_Feater::SortModelUnits(std::int32_t* unitRows, std::int32_t* unitCols, std::int32_t* unitSizes,
                                 int m) {
    for (int i = 0; i < m - 1; ++i) {
        const int best = FirstSmallest(unitRows, i, m);
        if (best != i) {
            std::swap(unitRows[i], unitRows[best]);
            std::swap(unitCols[i], unitCols[best]);
            std::swap(unitSizes[i], unitSizes[best]);
        }
    }
    int runStart = 0;
    for (int i = 1; i <= m; ++i) {
        if (i == m || unitRows[i] != unitRows[runStart]) {
            SortRunByColumn(unitCols, unitSizes, runStart, i);
            runStart = i;
        }
    }
    return 0;
}

int CMine_Feater::LoadModelUnits(const char* path, ModelUnitList& units) {
    const int status = ReadModelUnits(path, units, &cause_);
    if (status == 0)
        SortModelUnits(units.unitRows.get(), units.unitCols.get(), units.unitSizes.get(), units.unitCount);
    return status;
}

}  // namespace quarnel
