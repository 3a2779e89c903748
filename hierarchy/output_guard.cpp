#include "hierarchy/output_guard.h"

#include <filesystem>
#include <system_error>

#include "grid/native_path.h"
#include "grid/same_file.h"
#include "hierarchy/anomaly_table.h"
#include "hierarchy/decompos_status.h"

namespace quarnel {

namespace {

// The report and the result file may both be new: compare what their names resolve to.
bool SameOutputPath(const char* a, const char* b) {
    std::error_code error;
    const std::filesystem::path first = std::filesystem::weakly_canonical(NativePath(a), error);
    if (error) return false;
    const std::filesystem::path second = std::filesystem::weakly_canonical(NativePath(b), error);
    return !error && first == second;
}

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
                          SameOutputPath(params.outputFile, params.reportFile)))) {
        return decompos_status::kOutputOverwritesInput;
    }
    return decompos_status::kSuccess;
}

}  // namespace quarnel
