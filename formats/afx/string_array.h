#pragma once
// CStringArray: a growable array of CString. Reading outside the array gives an empty string,
// so a bad index can never reach foreign memory.
#include <vector>

#include "formats/afx/cstring.h"

class CStringArray {
  public:
    // Appends and returns the new element's index.
    int Add(const CString& text);
    int GetSize() const { return static_cast<int>(items_.size()); }
    const CString& GetAt(int index) const;
    const CString& operator[](int index) const { return GetAt(index); }

  private:
    std::vector<CString> items_;
};
