#pragma once
// The cell-by-input matrix of BP classification ([cells][inputCount], zero-filled) held in blocks
// of whole cells, each of at most kBlockBytes (one cell where a cell alone is larger), so that a
// 32-bit process fails only when its memory runs out, not when no single free region is as large
// as the whole matrix. The constructor throws std::bad_alloc when a block cannot be had, and
// std::length_error when cells × inputCount does not fit size_t (MatrixSize).
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "quarnel/bp.h"

namespace quarnel {

class CellInputMatrix {
  public:
    static constexpr std::size_t kBlockBytes = std::size_t(4) << 20;

    CellInputMatrix(int cells, int inputCount);

    // The inputs of cell s.
    double* Cell(std::size_t s) const { return starts_[s / blockCells_] + (s % blockCells_) * stride_; }
    // Where each block starts, in order; every block but the last holds BlockCells() cells.
    const std::vector<double*>& BlockStarts() const { return starts_; }
    std::size_t BlockCells() const { return blockCells_; }
    std::span<const BPCellBlock> Blocks() const { return blocks_; }

  private:
    std::size_t stride_;
    std::size_t blockCells_;
    std::vector<std::unique_ptr<double[]>> storage_;
    std::vector<double*> starts_;
    std::vector<BPCellBlock> blocks_;
};

}  // namespace quarnel
