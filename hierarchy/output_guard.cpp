#include "hierarchy/output_guard.h"

#include "grid/same_file.h"
#include "hierarchy/anomaly_table.h"
#include "hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

bool OutputHitsInput(const char* output, const char* parameterFile, const HierarchyParams& params) {
    if (SameExistingFile(output, parameterFile)) return true;
    if (params.target == kPredictRegularGrid) {
        for (int level = 0; level < kLevelCount; ++level) {
            for (int i = 0; i < params.ElementsInUse(level); ++i) {
                if (SameExistingFile(output, params.elements[level][i].file)) return true;
            }
        }
    }
    const bool readsTable = params.target == kRankAnomalies || params.target == kPredictIrregularGrid;
    const char* table = AnomalyTableName(params);
    return readsTable && table != nullptr && SameExistingFile(output, table);
}

}  // namespace

int GuardInputs(const char* parameterFile, const HierarchyParams& params) {
    const bool writesOutput = params.target == kPredictRegularGrid || params.target == kPredictIrregularGrid;
    if (OutputHitsInput(params.reportFile, parameterFile, params) ||
        (writesOutput && (OutputHitsInput(params.outputFile, parameterFile, params) ||
                          SameOutputFile(params.outputFile, params.reportFile)))) {
        return hierarchy_status::kOutputOverwritesInput;
    }
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
