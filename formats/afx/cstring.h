#pragma once
// CString: an 8-bit string in the system code page, with the members the jobs use. Positions
// are in bytes; GetAt outside the string gives 0, so no argument reaches outside it. TrimRight
// removes the C locale's white space (blank, \t, \n, \v, \f, \r) and never touches bytes of
// multi-byte characters.
#include <string>

class CString {
  public:
    CString() = default;
    CString(const char* text);  // NOLINT: implicit, as the framework's own string converts
    CString(const char* text, int length);

    operator const char*() const { return text_.c_str(); }  // NOLINT: implicit by design
    const char* GetString() const { return text_.c_str(); }
    int GetLength() const { return static_cast<int>(text_.size()); }
    bool IsEmpty() const { return text_.empty(); }
    void Empty() { text_.clear(); }
    // The byte at index, or 0 outside the string.
    char GetAt(int index) const;

    CString& TrimRight();

  private:
    std::string text_;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator!=(const CString& a, const char* b);
