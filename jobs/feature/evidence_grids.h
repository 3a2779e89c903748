#pragma once
// The n evidence grids of a job, open together and read in lockstep: one value of every grid,
// in variable order, per cell, cells in file order. Nothing of a grid is held but its stream.
//
// Open opens every grid, then reads every header in variable order; the last header governs
// the job (its rows, cols and blank value apply to all). Returns 0, 3001 + i (grid i not
// opened), 3057 (a header word longer than 51 characters) or 3058 (a header that does not
// parse, counts that are not positive or promise more values than the file can hold, or a grid
// whose rows or cols differ from the governing header's). Cause then says which grid, what and
// where, in English.
#include <cstdint>
#include <memory>
#include <string>

#include "jobs/feature/feature_types.h"
#include "formats/grid/kvsgda.h"

namespace quarnel {

class EvidenceGrids {
  public:
    int Open(const FeatureParams& params);
    const GridHeader& Header() const { return header_; }
    // The governing header as the score grid carries it.
    const KvsgdaHeader& FileHeader() const { return fileHeader_; }
    // The next cell's value of every grid into values[0..n-1]; 0, or 3058 when a grid ends
    // early or holds a value that does not parse.
    int ReadCell(float* values);
    // Why the last failing Open or ReadCell failed; empty after success.
    const std::string& Cause() const { return cause_; }

  private:
    int Refuse(int status, std::string cause);

    std::unique_ptr<KvsgdaReader[]> grids_;
    const FeatureParams* params_ = nullptr;
    int count_ = 0;
    std::int64_t cellsRead_ = 0;
    std::string cause_;
    KvsgdaHeader fileHeader_;
    GridHeader header_{};
};

}  // namespace quarnel
