#include "formats/kor/cxarray.h"

#include <cstddef>
#include <cstdint>
#include <new>

template <class T>
T CVarrayBase<T>::GetAt(int row, int col) const {
    if (m_data == nullptr || row < 0 || col < 0 || row >= m_rows || col >= m_cols) return T{};
    return m_data[static_cast<std::size_t>(row) * static_cast<std::size_t>(m_cols) +
                  static_cast<std::size_t>(col)];
}

template <class T>
CxArray<T>::CxArray(int rows, int cols, ZT_StorMode mode) {
    this->m_storMode = mode;
    Resize(rows, cols);
}

template <class T>
CxArray<T>::~CxArray() {
    delete[] m_block;
}

template <class T>
bool CxArray<T>::Resize(int rows, int cols) {
    delete[] m_block;
    m_block = nullptr;
    this->m_data = nullptr;
    this->m_rows = 0;
    this->m_cols = 0;
    if (rows < 0 || cols < 0) return false;
    if (rows == 0 || cols == 0) return true;
    const auto count = static_cast<std::uint64_t>(rows) * static_cast<std::uint64_t>(cols);
    if (count > SIZE_MAX / sizeof(T)) return false;
    m_block = new (std::nothrow) T[static_cast<std::size_t>(count)]();
    if (m_block == nullptr) return false;
    this->m_data = m_block;
    this->m_rows = rows;
    this->m_cols = cols;
    return true;
}

#define KOR_INSTANTIATE_ARRAYS(T)  \
    template class CVarrayBase<T>; \
    template class CxArray<T>;
KOR_INSTANTIATE_ARRAYS(char)
KOR_INSTANTIATE_ARRAYS(unsigned char)
KOR_INSTANTIATE_ARRAYS(short)
KOR_INSTANTIATE_ARRAYS(unsigned short)
KOR_INSTANTIATE_ARRAYS(int)
KOR_INSTANTIATE_ARRAYS(float)
KOR_INSTANTIATE_ARRAYS(double)
