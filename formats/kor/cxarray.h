#pragma once
// Typed 2-D arrays, for T = char, unsigned char, short, unsigned short, int, float, double.
//
// CVarrayBase<T> is the view of an array: where its values are and its shape, all plain data,
// so copying one copies the view member-wise and never the values. CxArray<T> owns the values:
// one zero-filled row-major block, value (row, col) at row * cols + col, released by its
// destructor and never through a view, so a copied view cannot free anything twice.
// GetAt outside the shape gives T{}.
//
// Storage modes: every mode stores the same row-major block; the mode is kept as given.

#if defined(_WIN32)
#if defined(KOR_BUILDING)
#define KOR_API __declspec(dllexport)
#else
#define KOR_API __declspec(dllimport)
#endif
#else
#define KOR_API __attribute__((visibility("default")))
#endif

enum ZT_StorMode : int { ZT_STOR_ROWMAJOR = 2 };

template <class T>
class KOR_API CVarrayBase {
  public:
    // The value at (row, col), or T{} when either lies outside the array.
    T GetAt(int row, int col) const;
    int GetRows() const { return m_rows; }
    int GetCols() const { return m_cols; }
    ZT_StorMode GetStorMode() const { return m_storMode; }
    // rows * cols values, row-major; null when the array is empty.
    T* Data() { return m_data; }
    const T* Data() const { return m_data; }

  protected:
    T* m_data = nullptr;
    int m_rows = 0;
    int m_cols = 0;
    ZT_StorMode m_storMode = ZT_STOR_ROWMAJOR;
};

template <class T>
class KOR_API CxArray : public CVarrayBase<T> {
  public:
    // rows × cols zero values; empty when either count is 0 or the shape cannot be allocated.
    CxArray(int rows, int cols, ZT_StorMode mode);
    ~CxArray();
    CxArray(const CxArray&) = delete;
    CxArray& operator=(const CxArray&) = delete;

    // Replaces the values by rows × cols zeros. A negative count, a shape too large to address or
    // a failed allocation leaves the array empty and returns false; a zero count empties it.
    bool Resize(int rows, int cols);

  private:
    T* m_block = nullptr;
};

#define KOR_DECLARE_ARRAYS(T)             \
    extern template class CVarrayBase<T>; \
    extern template class CxArray<T>;
KOR_DECLARE_ARRAYS(char)
KOR_DECLARE_ARRAYS(unsigned char)
KOR_DECLARE_ARRAYS(short)
KOR_DECLARE_ARRAYS(unsigned short)
KOR_DECLARE_ARRAYS(int)
KOR_DECLARE_ARRAYS(float)
KOR_DECLARE_ARRAYS(double)
#undef KOR_DECLARE_ARRAYS
