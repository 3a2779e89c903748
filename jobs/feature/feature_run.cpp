#include <memory>
#include <new>
#include <string>

#include "jobs/feature/feature_params.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "jobs/feature/report_sections.h"
#include "formats/grid/same_file.h"
#include "formats/grid/text_sink.h"

namespace quarnel {

namespace {

// Creating the report or the score grid truncates a file: neither may name an input of the job
// (the parameter file, an evidence grid, the model-unit file when units are used), and the two
// must be two files.
bool OutputsEndangerInputs(const char* parameterFile, const FeatureParams& params) {
    for (const char* output : {params.reportPath, params.scoreGridPath}) {
        if (SameExistingFile(output, parameterFile)) return true;
        if (params.hasModelUnits == 1 && SameExistingFile(output, params.modelUnitPath)) return true;
        for (int i = 0; i < params.varCount; ++i) {
            if (SameExistingFile(output, params.vars[i].gridPath)) return true;
        }
    }
    return SameOutputFile(params.reportPath, params.scoreGridPath);
}

}  // namespace

int CMine_Feater::Run(const char* parameterFile) {
    results_ = {};
    cause_.clear();
    params_ = std::make_unique<FeatureParams>();
    int status = ReadFeatureParams(parameterFile, *params_);
    if (status == kFeatureFileUnavailable) cause_ = std::string(parameterFile) + ": cannot be opened";
    if (status != kFeatureOk) {
        params_.reset();
        return status;
    }
    const FeatureParams& params = *params_;
    results_.method = params.method;
    if (OutputsEndangerInputs(parameterFile, params)) {
        cause_ = "the report or the score grid names an input of the job or the other output";
        return kFeatureParamsRefused;
    }
    TextSink report;
    if (!report.Open(params.reportPath, kTextFileLineEnds)) {
        cause_ = std::string(params.reportPath) + ": cannot be created";
        return kFeatureReportUnwritten;
    }
    WriteFeatureReportOpening(params, report);
    status = RunStages(params, report);
    if (status == kFeatureOk) WriteFeatureReportEnd(report);
    if (!report.Close() && status == kFeatureOk) {
        cause_ = std::string(params.reportPath) + ": writing failed";
        status = kFeatureReportUnwritten;
    }
    return status;
}

int CMine_Feater::RunStages(const FeatureParams& params, TextSink& report) {
    const int n = params.varCount;
    const std::unique_ptr<float[]> p(new (std::nothrow) float[n * n]);
    if (!p) return kFeatureNoMemory;
    int status = BuildProductMatrix(params, p.get(), report);
    if (status != kFeatureOk) return status;
    const std::unique_ptr<float[]> w(new (std::nothrow) float[n]);
    if (!w) return kFeatureNoMemory;
    status = params.method == 0 ? VectorLengthWeights(params, p.get(), w.get(), report)
                                : PrincipalComponentWeights(params, p.get(), w.get(), report);
    if (status != kFeatureOk) return status;
    return ScoreGrid(params, w.get(), report);
}

}  // namespace quarnel
