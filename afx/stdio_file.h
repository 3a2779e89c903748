#pragma once
// CStdioFile: a text file read line by line and written string by string.
//
// Reading is buffered (64 KiB at a time). ReadString takes one line (up to 64 MiB), without its
// "\n" and without a "\r" just before it, so a file with CRLF line ends reads the same on every
// platform. WriteString writes its bytes unchanged (no line-end translation). GetPosition and
// GetLength count bytes of the file itself, so "position below length" means "data is left".
// Open never throws: it returns false and, when given one, fills a CFileException.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "afx/cstring.h"

class CFileException {
  public:
    enum Cause { none = 0, genericException = 1, fileNotFound = 2, accessDenied = 5 };

    int m_cause = none;
    int m_lOsError = 0;  // errno of the failed call
};

class CFile {
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
    };
};

class CStdioFile : public CFile {
  public:
    CStdioFile() = default;
    ~CStdioFile();
    CStdioFile(const CStdioFile&) = delete;
    CStdioFile& operator=(const CStdioFile&) = delete;

    // modeRead opens an existing file; modeWrite/modeReadWrite without modeCreate open an
    // existing file for update; modeCreate creates or truncates, or with modeNoTruncate keeps
    // an existing file's contents. An open file is closed first.
    bool Open(const char* path, unsigned flags, CFileException* error = nullptr);
    bool IsOpen() const { return file_ != nullptr; }
    // Longest line ReadString takes, so that a file of one endless line cannot exhaust memory.
    static constexpr std::size_t kMaxLineLength = std::size_t(64) << 20;
    // Next line into `line`; false (and `line` empty) once the file is exhausted, and from a
    // line longer than kMaxLineLength on (then LineTooLong is true and reading stops there).
    bool ReadString(CString& line);
    bool LineTooLong() const { return lineTooLong_; }
    // False when the file is not open or a write fails.
    bool WriteString(const char* text);
    std::uint64_t GetPosition() const;
    std::uint64_t GetLength() const;
    // False when any write since Open failed.
    bool Close();

  private:
    bool FillBuffer();
    void LeaveReading();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t bufferOffset_ = 0;
    bool reading_ = false;
    bool writing_ = false;
    bool writeFailed_ = false;
    bool lineTooLong_ = false;
};
