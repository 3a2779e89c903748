#include "jobs/bp/cell_input_matrix.h"

#include <algorithm>

namespace quarnel {

CellInputMatrix::CellInputMatrix(int cellCount, int inputCount)
    : stride_(std::size_t(inputCount)),
      blockCells_(
          std::max<std::size_t>(1, kBlockBytes / (std::max<std::size_t>(1, stride_) * sizeof(double)))) {
    MatrixSize(cellCount, inputCount);  // throws std::length_error where the values cannot be counted
    const std::size_t cells = std::size_t(cellCount);
    const std::size_t blockCount = (cells + blockCells_ - 1) / blockCells_;
    storage_.reserve(blockCount);
    starts_.reserve(blockCount);
    blocks_.reserve(blockCount);
    for (std::size_t first = 0; first < cells; first += blockCells_) {
        const std::size_t count = std::min(blockCells_, cells - first);
        storage_.push_back(std::make_unique<double[]>(count * stride_));
        starts_.push_back(storage_.back().get());
        blocks_.push_back({starts_.back(), count});
    }
}

}  // namespace quarnel
