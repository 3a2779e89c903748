#include "jobs/feature/evidence_grids.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "jobs/feature/feature_status.h"

namespace quarnel {

namespace {

int HeaderStatus(const ScanResult& read) {
    if (read.ok()) return kFeatureOk;
    return read.status == ScanStatus::too_long ? kFeatureParamsRefused : kFeatureMalformedInput;
}

std::string Cells(const KvsgdaHeader& header) {
    return std::to_string(header.rows) + " x " + std::to_string(header.cols) + " cells";
}

std::string AtByte(const ScanResult& read) {
    return std::string(ScanStatusText(read.status)) + " at byte " + std::to_string(read.position);
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
    params_ = &params;
    count_ = params.varCount;
    cellsRead_ = 0;
    cause_.clear();
    grids_.reset(new KvsgdaReader[count_]);
    for (int i = 0; i < count_; ++i) {
        if (!grids_[i].Open(params.vars[i].gridPath)) {
            return Refuse(kFeatureGridUnopened + i,
                          std::string(params.vars[i].gridPath) + ": cannot be opened");
        }
    }
    std::vector<KvsgdaHeader> headers(count_);
    for (int i = 0; i < count_; ++i) {
        const ScanResult read = grids_[i].ReadHeader(&headers[i]);
        const int status = HeaderStatus(read);
        if (status != kFeatureOk)
            return Refuse(status, std::string(params.vars[i].gridPath) + ": header: " + AtByte(read));
    }
    fileHeader_ = headers.back();
    for (int i = 0; i < count_; ++i) {
        if (headers[i].rows != fileHeader_.rows || headers[i].cols != fileHeader_.cols) {
            return Refuse(kFeatureMalformedInput,
                          std::string(params.vars[i].gridPath) + ": " + Cells(headers[i]) + ", but " +
                              params.vars[count_ - 1].gridPath + " has " + Cells(fileHeader_));
        }
    }
    header_ = JobHeader(fileHeader_);
    return kFeatureOk;
}

int EvidenceGrids::ReadCell(float* values) {
    for (int i = 0; i < count_; ++i) {
        const ScanResult read = grids_[i].Next(values[i]);
        if (!read.ok()) {
            const std::int64_t cols = std::max(header_.cols, 1);
            return Refuse(kFeatureMalformedInput, std::string(params_->vars[i].gridPath) + ": value of row " +
                                                      std::to_string(cellsRead_ / cols) + ", column " +
                                                      std::to_string(cellsRead_ % cols) + ": " +
                                                      AtByte(read));
        }
    }
    ++cellsRead_;
    return kFeatureOk;
}

int EvidenceGrids::Refuse(int status, std::string cause) {
    cause_ = std::move(cause);
    return status;
}

}  // namespace quarnel
