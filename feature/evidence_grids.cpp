#include "feature/evidence_grids.h"

#include <algorithm>
#include <vector>

#include "feature/feature_status.h"

namespace quarnel {

namespace {

int HeaderStatus(const ScanResult& read) {
    if (read.ok()) return kFeatureOk;
    return read.status == ScanStatus::too_long ? kFeatureParamsRefused : kFeatureMalformedInput;
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

int EvidenceGrids::Open(const FeatureParams& params) {
    count_ = params.varCount;
    grids_.reset(new KvsgdaReader[count_]);
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Open(params.vars[i].gridPath)) return kFeatureGridUnopened + i;
    }
    std::vector<KvsgdaHeader> headers(count_);
    for (int i = 0; i < count_; ++i) {
        const int status = HeaderStatus(grids_[i].ReadHeader(&headers[i]));
        if (status != kFeatureOk) return status;
    }
    fileHeader_ = headers.back();
    for (const KvsgdaHeader& header : headers) {
        if (header.rows != fileHeader_.rows || header.cols != fileHeader_.cols) return kFeatureMalformedInput;
    }
    header_ = JobHeader(fileHeader_);
    return kFeatureOk;
}

int EvidenceGrids::ReadCell(float* values) {
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Next(values[i]).ok()) return kFeatureMalformedInput;
    }
    return kFeatureOk;
}

}  // namespace quarnel
