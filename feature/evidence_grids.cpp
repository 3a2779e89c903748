#include "feature/evidence_grids.h"

#include <algorithm>
#include <vector>

#include "feature/feater_status.h"

namespace quarnel {

namespace {

int HeaderStatus(const ScanResult& read) {
    if (read.ok()) return kFeaterOk;
    return read.status == ScanStatus::too_long ? kFeaterParamsRefused : kFeaterMalformedInput;
}

GridHeader JobHeader(const KvsgdaHeader& file) {
    GridHeader header{};
    file.word.copy(header.headerToken, sizeof header.headerToken - 1);
    header.rows = file.rows;
    header.cols = file.cols;
    std::copy(std::begin(file.reals), std::end(file.reals), header.headerReals);
    header.blankValue = file.blankValue;
    return header;
}

}  // namespace

int EvidenceGrids::Open(const FeaterParams& params) {
    count_ = params.varCount;
    grids_.reset(new KvsgdaReader[count_]);
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Open(params.vars[i].gridPath)) return kFeaterGridUnopened + i;
    }
    std::vector<KvsgdaHeader> headers(count_);
    for (int i = 0; i < count_; ++i) {
        const int status = HeaderStatus(grids_[i].ReadHeader(&headers[i]));
        if (status != kFeaterOk) return status;
    }
    fileHeader_ = headers.back();
    for (const KvsgdaHeader& header : headers) {
        if (header.rows != fileHeader_.rows || header.cols != fileHeader_.cols) return kFeaterMalformedInput;
    }
    header_ = JobHeader(fileHeader_);
    return kFeaterOk;
}

int EvidenceGrids::ReadCell(float* values) {
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Next(values[i]).ok()) return kFeaterMalformedInput;
    }
    return kFeaterOk;
}

}  // namespace quarnel
