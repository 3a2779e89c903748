#include "jobs/hierarchy/check_hierarchy_params.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/mine_decompos.h"
#include "jobs/hierarchy/output_guard.h"
#include "jobs/hierarchy/read_hierarchy_params.h"
#include "jobs/hierarchy/report_opening.h"

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
int ReadSoundParams(const char* parameterFile, DecomposRun& run) {
    int status = ReadHierarchyParams(parameterFile, run.params, &run.cause);
    run.paramsRead = status == hierarchy_status::kSuccess;
    if (status == hierarchy_status::kSuccess) status = CheckHierarchyParams(run.params, &run.cause);
    if (status == hierarchy_status::kSuccess) status = GuardInputs(parameterFile, run.params, &run.cause);
    return status;
}

int RunStages(CMine_Decompos& job, const char* parameterFile, DecomposRun& run) {
    using namespace hierarchy_status;
    if (parameterFile == nullptr) return kParameterFileNotOpened;
    if (const int status = ReadSoundParams(parameterFile, run); status != kSuccess) return status;
    const HierarchyParams& params = run.params;
    TextSink report;
    if (!report.Open(params.reportFile, kTextFileLineEnds)) {
        run.cause = std::string(params.reportFile) + ": cannot be created";
        return kReportNotCreated;
    }
    WriteReportOpening(params, report);
    float presentImportance[kLevelCount];
    const int n = PresentImportances(params, presentImportance);
    TotalWeights totalWeights = {};
    int status = job.ComputeWeights(params, presentImportance, totalWeights, n, report);
    if (status == kSuccess) status = RunTarget(job, params, totalWeights, report);
    if (!report.Close() && status == kSuccess) {
        run.cause = std::string(params.reportFile) + ": could not be written completely";
        status = kWriteFailed;
    }
    return status;
}

}  // namespace

int CMine_Decompos::Run(const char* parameterFile) {
    run_ = DecomposRun{};
    run_.status = RunStages(*this, parameterFile, run_);
    return run_.status;
}

}  // namespace quarnel
