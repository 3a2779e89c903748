#include "feature/feater_params.h"

#include <cstdint>
#include <cstring>

#include "feature/feater_status.h"
#include "grid/scan_stream.h"

namespace quarnel {

namespace {

constexpr char kKeyword[] = "QelFrmFeater";
constexpr std::size_t kKeywordCapacity = 20;

bool ReadVariable(ScanStream& in, EvidenceVariable& var) {
    return in.Word(var.name, sizeof var.name).ok() && in.Float(var.lower).ok() && in.Float(var.upper).ok() &&
           in.Word(var.gridPath, sizeof var.gridPath).ok();
}

bool ReadOutputs(ScanStream& in, FeaterParams& params) {
    return in.Int(params.hasModelUnits).ok() &&
           in.Word(params.modelUnitPath, sizeof params.modelUnitPath).ok() && in.Int(params.method).ok() &&
           in.Word(params.scoreGridPath, sizeof params.scoreGridPath).ok() &&
           in.Word(params.reportPath, sizeof params.reportPath).ok();
}

int ReadBody(ScanStream& in, FeaterParams& params) {
    if (!in.Int(params.varCount).ok() || params.varCount < 1 || params.varCount > kMaxFeaterVars) {
        return kFeaterParamsRefused;
    }
    for (int i = 0; i < params.varCount; ++i) {
        if (!ReadVariable(in, params.vars[i])) return kFeaterParamsRefused;
    }
    if (!ReadOutputs(in, params) || (params.method != 0 && params.method != 1)) return kFeaterParamsRefused;
    return kFeaterOk;
}

}  // namespace

int ReadFeaterParams(const char* path, FeaterParams& params) {
    ScanStream in;
    if (!in.Open(path)) return kFeaterFileUnavailable;
    char keyword[kKeywordCapacity];
    const ScanResult keywordRead = in.Word(keyword, sizeof keyword);
    if (keywordRead.status == ScanStatus::too_long) return kFeaterParamsRefused;
    if (!keywordRead.ok() || std::strcmp(keyword, kKeyword) != 0) return kFeaterBadKeyword;
    return ReadBody(in, params);
}

}  // namespace quarnel
