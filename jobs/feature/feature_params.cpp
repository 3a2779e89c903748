#include "jobs/feature/feature_params.h"

#include <cstdint>
#include <cstring>

#include "jobs/feature/feature_status.h"
#include "formats/grid/scan_stream.h"

namespace quarnel {

namespace {

constexpr char kKeyword[] = "QelFrmFeater";
constexpr std::size_t kKeywordCapacity = 20;

bool ReadVariable(ScanStream& in, EvidenceVariable& var) {
    return in.Word(var.name, sizeof var.name).ok() && in.Float(var.lower).ok() && in.Float(var.upper).ok() &&
           in.Word(var.gridPath, sizeof var.gridPath).ok();
}

bool ReadOutputs(ScanStream& in, FeatureParams& params) {
    return in.Int(params.hasModelUnits).ok() &&
           in.Word(params.modelUnitPath, sizeof params.modelUnitPath).ok() && in.Int(params.method).ok() &&
           in.Word(params.scoreGridPath, sizeof params.scoreGridPath).ok() &&
           in.Word(params.reportPath, sizeof params.reportPath).ok();
}

int ReadBody(ScanStream& in, FeatureParams& params) {
    if (!in.Int(params.varCount).ok() || params.varCount < 1 || params.varCount > kMaxFeatureVars) {
        return kFeatureParamsRefused;
    }
    for (int i = 0; i < params.varCount; ++i) {
        if (!ReadVariable(in, params.vars[i])) return kFeatureParamsRefused;
    }
    if (!ReadOutputs(in, params) || (params.method != 0 && params.method != 1)) return kFeatureParamsRefused;
    return kFeatureOk;
}

}  // namespace

int ReadFeatureParams(const char* path, FeatureParams& params) {
    ScanStream in;
    if (!in.Open(path)) return kFeatureFileUnavailable;
    char keyword[kKeywordCapacity];
    const ScanResult keywordRead = in.Word(keyword, sizeof keyword);
    if (keywordRead.status == ScanStatus::too_long) return kFeatureParamsRefused;
    if (!keywordRead.ok() || std::strcmp(keyword, kKeyword) != 0) return kFeatureBadKeyword;
    return ReadBody(in, params);
}

}  // namespace quarnel
