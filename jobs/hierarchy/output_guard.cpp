#include "jobs/hierarchy/output_guard.h"

#include <string>

#include "formats/grid/same_file.h"
#include "jobs/hierarchy/anomaly_table.h"
#include "jobs/hierarchy/hierarchy_status.h"

namespace quarnel {

namespace {

// The input the output would overwrite, or null.
const char* InputHit(const char* output, const char* parameterFile, const HierarchyParams& params) {
    if (SameExistingFile(output, parameterFile)) return "the parameter file";
    if (params.target == kPredictRegularGrid) {
        for (int level = 0; level < kLevelCount; ++level) {
            for (int i = 0; i < params.ElementsInUse(level); ++i) {
                if (SameExistingFile(output, params.elements[level][i].file)) return "an element grid";
            }
        }
    }
    const bool readsTable = params.target == kRankAnomalies || params.target == kPredictIrregularGrid;
    const char* table = AnomalyTableName(params);
    return readsTable && table != nullptr && SameExistingFile(output, table) ? "the anomaly table" : nullptr;
}

int Refuse(std::string text, std::string* cause) {
    if (cause != nullptr) *cause = std::move(text);
    return hierarchy_status::kOutputOverwritesInput;
}

}  // namespace

int GuardInputs(const char* parameterFile, const HierarchyParams& params, std::string* cause) {
    const bool writesOutput = params.target == kPredictRegularGrid || params.target == kPredictIrregularGrid;
    if (const char* hit = InputHit(params.reportFile, parameterFile, params))
        return Refuse(std::string("the report ") + params.reportFile + " is " + hit, cause);
    if (!writesOutput) return hierarchy_status::kSuccess;
    if (const char* hit = InputHit(params.outputFile, parameterFile, params))
        return Refuse(std::string("the result ") + params.outputFile + " is " + hit, cause);
    if (SameOutputFile(params.outputFile, params.reportFile))
        return Refuse(std::string("the result and the report are one file, ") + params.outputFile, cause);
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
