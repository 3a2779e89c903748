#pragma once
// Row matrices: an array of row pointers, each row allocated on its own.
#include <cstddef>
#include <cstdint>
#include <new>

namespace quarnel {

template <class T>
void FreeRowMatrix(T**& matrix, int rows) {
    if (matrix == nullptr) return;
    for (int r = 0; r < rows; ++r) delete[] matrix[r];
    delete[] matrix;
    matrix = nullptr;
}

// rows row pointers, then rows rows of cols values (not initialised); null when any
// allocation fails or the sizes do not fit a 32-bit byte count, with nothing left allocated.
template <class T>
T** AllocRowMatrix(int rows, int cols) {
    // The design counts bytes in 32 bits: a matrix whose pointer array or row does not fit is
    // a failed allocation, not a wrapped size.
    constexpr std::uint64_t kByteLimit = 0xFFFFFFFFull;
    if (rows <= 0 || cols <= 0) return nullptr;
    if (std::uint64_t(rows) * 4 > kByteLimit || std::uint64_t(cols) * sizeof(T) > kByteLimit) return nullptr;
    T** matrix = new (std::nothrow) T*[rows]();
    if (matrix == nullptr) return nullptr;
    for (int r = 0; r < rows; ++r) {
        matrix[r] = new (std::nothrow) T[cols];
        if (matrix[r] == nullptr) {
            FreeRowMatrix(matrix, r);
            return nullptr;
        }
    }
    return matrix;
}

double** AllocDoubleMatrix(int rows, int cols);

// Owns a row matrix for the length of a job, so every return path releases it.
template <class T>
class RowMatrix {
  public:
    RowMatrix() = default;
    RowMatrix(T** rows, int rowCount) : rows_(rows), count_(rowCount) {}
    ~RowMatrix() { FreeRowMatrix(rows_, count_); }
    RowMatrix(const RowMatrix&) = delete;
    RowMatrix& operator=(const RowMatrix&) = delete;

    void Reset(T** rows, int rowCount) {
        FreeRowMatrix(rows_, count_);
        rows_ = rows;
        count_ = rowCount;
    }
    // Hands the matrix to the caller, who then frees it.
    T** Release() {
        T** rows = rows_;
        rows_ = nullptr;
        count_ = 0;
        return rows;
    }
    T** get() const { return rows_; }
    T* operator[](std::size_t r) const { return rows_[r]; }
    explicit operator bool() const { return rows_ != nullptr; }

  private:
    T** rows_ = nullptr;
    int count_ = 0;
};

}  // namespace quarnel
