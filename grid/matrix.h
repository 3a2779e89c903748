#pragma once
// Row matrices: an array of row pointers, each row allocated on its own.
#include <cstddef>

namespace quarnel {

// rows row pointers, then rows rows of cols doubles (not initialised); null when any
// allocation fails or the sizes do not fit a 32-bit byte count, with nothing left allocated.
double** AllocDoubleMatrix(int rows, int cols);

template <class T>
void FreeRowMatrix(T**& matrix, int rows) {
    if (matrix == nullptr) return;
    for (int r = 0; r < rows; ++r) delete[] matrix[r];
    delete[] matrix;
    matrix = nullptr;
}

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
    T** get() const { return rows_; }
    T* operator[](std::size_t r) const { return rows_[r]; }
    explicit operator bool() const { return rows_ != nullptr; }

  private:
    T** rows_ = nullptr;
    int count_ = 0;
};

}  // namespace quarnel
