#pragma once
// CStdioFile: a text file read line by line, the one use the jobs make of it.
//
// Open takes modeRead (with typeText or typeBinary, which read alike) and opens a regular file
// only. Reading is buffered (64 KiB at a time). ReadString takes one line (up to 64 MiB),
// without its "\n" and without a "\r" just before it, so a file with CRLF line ends reads the
// same on every platform. GetLength counts the bytes of the file itself.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "formats/afx/cstring.h"

class CFile {
  public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
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

    // False when the file cannot be opened for reading, is not a regular file, or flags ask
    // for writing. An open file is closed first.
    bool Open(const char* path, unsigned flags);
    bool IsOpen() const { return file_ != nullptr; }
    // Longest line ReadString takes, so that a file of one endless line cannot exhaust memory.
    static constexpr std::size_t kMaxLineLength = std::size_t(64) << 20;
    // Next line into `line`; false (and `line` empty) once the file is exhausted, and from a
    // line longer than kMaxLineLength on (then LineTooLong is true and reading stops there).
    bool ReadString(CString& line);
    bool LineTooLong() const { return lineTooLong_; }
    std::uint64_t GetLength() const;
    void Close();

  private:
    bool FillBuffer();

    std::FILE* file_ = nullptr;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool lineTooLong_ = false;
};
