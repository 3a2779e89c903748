#pragma once
// CString: an 8-bit string, the application framework's string as the jobs were written against
// it. Its bytes are kept as given (GBK text and paths pass through unchanged). The jobs read lines
// into it (CStdioFile::ReadString) and use a few members (its bytes, length, TrimRight); the
// others complete the stand-in and are tested with it. Positions and lengths are in bytes.
// Members that take a position or count clamp it to the string, so no argument can reach outside
// it. Trimming removes the C locale's white space (blank, \t, \n, \v, \f, \r) and never touches
// bytes of multi-byte characters.
#include <string>
#include <utility>

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

    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& MakeUpper();
    CString& MakeLower();

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    // Index of the first occurrence at or after start, or -1.
    int Find(char c, int start = 0) const;
    int Find(const char* text, int start = 0) const;
    // <0, 0, >0 as strcmp; CompareNoCase folds ASCII letters only.
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;

    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char c);

  private:
    explicit CString(std::string text) : text_(std::move(text)) {}

    std::string text_;
};

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char c);
