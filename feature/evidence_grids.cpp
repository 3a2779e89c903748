#include "feature/evidence_grids.h"

#include <array>

#include "feature/feater_status.h"

namespace quarnel {

namespace {

int ReadHeader(ScanStream& in, GridHeader& header) {
    const ScanResult token = in.Word(header.headerToken, sizeof header.headerToken);
    if (token.status == ScanStatus::too_long) return kFeaterParamsRefused;
    bool ok = token.ok() && in.Int(header.rows).ok() && in.Int(header.cols).ok();
    for (float& real : header.headerReals) ok = ok && in.Float(real).ok();
    ok = ok && in.Float(header.blankValue).ok();
    if (!ok || header.rows < 0 || header.cols < 0) return kFeaterMalformedInput;
    return kFeaterOk;
}

}  // namespace

int EvidenceGrids::Open(const FeaterParams& params) {
    count_ = params.varCount;
    grids_.reset(new ScanStream[count_]);
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Open(params.vars[i].gridPath)) return kFeaterGridUnopened + i;
    }
    std::array<GridHeader, kMaxFeaterVars> headers;
    for (int i = 0; i < count_; ++i) {
        const int status = ReadHeader(grids_[i], headers[i]);
        if (status != kFeaterOk) return status;
    }
    header_ = headers[count_ - 1];
    for (int i = 0; i < count_; ++i) {
        if (headers[i].rows != header_.rows || headers[i].cols != header_.cols) return kFeaterMalformedInput;
    }
    return kFeaterOk;
}

int EvidenceGrids::ReadCell(float* values) {
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Float(values[i]).ok()) return kFeaterMalformedInput;
    }
    return kFeaterOk;
}

}  // namespace quarnel
