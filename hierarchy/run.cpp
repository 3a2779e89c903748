#include "hierarchy/check_hierarchy_params.h"
#include "hierarchy/hierarchy_status.h"
#include "hierarchy/mine_decompos.h"
#include "hierarchy/output_guard.h"
#include "hierarchy/read_hierarchy_params.h"
#include "hierarchy/report_opening.h"

namespace quarnel {

namespace {

int RunTarget(CMine_Decompos& job, const HierarchyParams& params, const TotalWeights& totalWeights,
              TextSink& report) {
    switch (params.target) {
        case kRankAnomalies:
            return job.RankAnomalies(params, totalWeights, report);
        case kPredictRegularGrid:
            return job.PredictRegularGrid(params, totalWeights, report);
        case kPredictIrregularGrid:
            return job.PredictIrregularGrid(params, totalWeights, report);
        default:
            return hierarchy_status::kSuccess;
    }
}

// Everything that refuses the parameter file does so before the report is created.
int ReadSoundParams(const char* parameterFile, HierarchyParams& params) {
    int status = ReadHierarchyParams(parameterFile, params);
    if (status == hierarchy_status::kSuccess) status = CheckHierarchyParams(params);
    if (status == hierarchy_status::kSuccess) status = GuardInputs(parameterFile, params);
    return status;
}

}  // namespace

int CMine_Decompos::Run(const char* parameterFile) {
    using namespace hierarchy_status;
    if (parameterFile == nullptr) return kParameterFileNotOpened;
    HierarchyParams params;
    if (const int status = ReadSoundParams(parameterFile, params); status != kSuccess) return status;
    TextSink report;
    if (!report.Open(params.reportFile, kTextFileLineEnds)) return kReportNotCreated;
    WriteReportOpening(params, report);
    float presentImportance[kLevelCount];
    const int n = PresentImportances(params, presentImportance);
    TotalWeights totalWeights = {};
    int status = ComputeWeights(params, presentImportance, totalWeights, n, report);
    if (status == kSuccess) status = RunTarget(*this, params, totalWeights, report);
    if (!report.Close() && status == kSuccess) status = kWriteFailed;
    return status;
}

}  // namespace quarnel
