#include "hierarchy/output_guard.h"

#include <filesystem>
#include <system_error>

#include "hierarchy/anomaly_table.h"
#include "hierarchy/decompos_status.h"

namespace quarnel {

namespace {

namespace fs = std::filesystem;

// Two names of one existing file (links and relative paths included); names of files that do
// not exist yet are compared by their absolute, normalised form.
bool SameFile(const char* a, const char* b) {
    std::error_code error;
    if (fs::equivalent(a, b, error)) return true;
    const fs::path first = fs::weakly_canonical(a, error);
    if (error) return false;
    const fs::path second = fs::weakly_canonical(b, error);
    return !error && first == second;
}

bool OutputHitsInput(const char* output, const char* parameterFile, const HierarchyParams& params) {
    if (SameFile(output, parameterFile)) return true;
    if (params.target == kPredictRegularGrid) {
        for (int level = 0; level < kLevelCount; ++level) {
            for (int i = 0; i < params.ElementsInUse(level); ++i) {
                if (SameFile(output, params.elements[level][i].file)) return true;
            }
        }
    }
    const bool readsTable = params.target == kRankAnomalies || params.target == kPredictIrregularGrid;
    const char* table = AnomalyTableName(params);
    return readsTable && table != nullptr && SameFile(output, table);
}

}  // namespace

int GuardInputs(const char* parameterFile, const HierarchyParams& params) {
    const bool writesOutput = params.target == kPredictRegularGrid || params.target == kPredictIrregularGrid;
    if (OutputHitsInput(params.reportFile, parameterFile, params) ||
        (writesOutput && (OutputHitsInput(params.outputFile, parameterFile, params) ||
                          SameFile(params.outputFile, params.reportFile)))) {
        return decompos_status::kOutputOverwritesInput;
    }
    return decompos_status::kSuccess;
}

}  // namespace quarnel
