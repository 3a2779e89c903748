#include "grid/matrix.h"

#include <cstdint>
#include <new>

namespace quarnel {

double** AllocDoubleMatrix(int rows, int cols) {
    // The design counts bytes in 32 bits: a matrix whose pointer array or row does not fit is
    // a failed allocation, not a wrapped size.
    constexpr std::uint64_t kByteLimit = 0xFFFFFFFFull;
    if (rows <= 0 || cols <= 0) return nullptr;
    if (std::uint64_t(rows) * 4 > kByteLimit || std::uint64_t(cols) * sizeof(double) > kByteLimit)
        return nullptr;
    double** matrix = new (std::nothrow) double*[rows]();
    if (matrix == nullptr) return nullptr;
    for (int r = 0; r < rows; ++r) {
        matrix[r] = new (std::nothrow) double[cols];
        if (matrix[r] == nullptr) {
            FreeRowMatrix(matrix, r);
            return nullptr;
        }
    }
    return matrix;
}

}  // namespace quarnel
