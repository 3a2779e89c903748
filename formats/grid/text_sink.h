#pragma once
// Buffered text output with printf's layouts and no printf per value.
//
// A sink writes a file whole or not at all (formats/grid/output_file.h): the bytes go to a temporary
// file, and only Close puts it at its path; a failed write, a format that could not be honoured,
// Discard or destruction without Close leave whatever was at the path untouched. Lines end as
// Open was told: the bytes as written, or each "\n" as "\r\n" (kTextFileLineEnds: the jobs'
// text files, as the platform's C runtime writes text).
//
// Print takes a format in printf's notation for the conversions the library's files use
// (%d %ld %s %f with the '-' flag, width and, for %f and %s, precision; and %%) and writes
// exactly printf's bytes, with one house rule: two numbers never touch. When a converted
// number would start right after a letter, a digit or a point (because the value fills or
// overflows its field), one blank is written before it. After a blank, punctuation or GBK text
// the bytes stay printf's, so report lines keep their layout.
// A format Print cannot honour (an unknown conversion, a missing or mistyped argument, a width
// over 64 or a precision over 20) writes nothing for that conversion and marks the sink failed.
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

#include "formats/grid/output_file.h"

namespace quarnel {

class FormatArg {
  public:
    enum class Kind { integer, real, text };
    FormatArg(int v) : kind_(Kind::integer), i_(v) {}
    FormatArg(long v) : kind_(Kind::integer), i_(v) {}
    FormatArg(long long v) : kind_(Kind::integer), i_(v) {}
    FormatArg(unsigned v) : kind_(Kind::integer), i_(v) {}
    FormatArg(double v) : kind_(Kind::real), d_(v) {}
    FormatArg(float v) : kind_(Kind::real), d_(v) {}
    FormatArg(const char* v) : kind_(Kind::text), s_(v) {}
    FormatArg(const std::string& v) : kind_(Kind::text), s_(v) {}
    FormatArg(std::string_view v) : kind_(Kind::text), s_(v) {}

    Kind kind() const { return kind_; }
    long long integer() const { return i_; }
    double real() const { return d_; }
    std::string_view text() const { return s_; }

  private:
    Kind kind_;
    long long i_ = 0;
    double d_ = 0;
    std::string_view s_;
};

// How the lines of a file end: lf writes the bytes as given; crlf writes each "\n" as "\r\n", as
// the Windows C runtime's text mode does (a "\r" already before it included).
enum class LineEnds { lf, crlf };

// The line ends of the files the jobs write as text: the C runtime's text mode of the platform.
#if defined(_WIN32)
inline constexpr LineEnds kTextFileLineEnds = LineEnds::crlf;
#else
inline constexpr LineEnds kTextFileLineEnds = LineEnds::lf;
#endif

class TextSink {
  public:
    TextSink();
    ~TextSink();
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    // Starts writing path, its lines ending as lineEnds says: nothing appears at path until
    // Close; false when it cannot be created. A sink still open closes its earlier file first,
    // which puts that file in place.
    bool Open(const char* path, LineEnds lineEnds = LineEnds::lf);
    // Appends everything written to *target instead of a file (tests, in-memory reports), as
    // written: line ends are never expanded there.
    void OpenMemory(std::string* target);
    bool IsOpen() const { return file_.IsOpen() || memory_ != nullptr; }
    // Flushes everything written so far; false when a write failed or a format could not be
    // honoured. The file is not yet in place.
    bool Finish();
    // Finishes and puts the file in place in one step; false (and the path left as it was) when
    // any write failed or a format could not be honoured. A memory sink stops appending.
    bool Close();
    // Drops the file: the path stays as it was. A sink destroyed without Close does the same,
    // so a job that gives up half-way leaves no partial file.
    void Discard();

    void Put(std::string_view text);
    void Put(char c);
    // printf's "%W.Pf" and "%Wd" (negative width: left-justified), with the house rule.
    void Fixed(double v, int width, int precision);
    void Int(long long v, int width = 0);
    // Fixed(values[i], width, precision) then Put(separator) for each of the count values; a
    // separator of more than 8 bytes marks the sink failed.
    void FixedRow(const double* values, std::size_t count, int width, int precision,
                  std::string_view separator);

    template <class... Args>
    void Print(std::string_view format, const Args&... args) {
        PrintArgs(format, {FormatArg(args)...});
    }
    void PrintArgs(std::string_view format, std::initializer_list<FormatArg> args);

    bool failed() const { return failed_; }

  private:
    // One conversion of Print; a negative width justifies to the left, a negative precision
    // is none given.
    void Convert(char conversion, int width, int precision, const FormatArg* arg);
    void PutPadded(std::string_view text, int width);
    char* Reserve(std::size_t length);
    void Commit(char* end);
    void Flush();

    OutputFile file_;
    LineEnds lineEnds_ = LineEnds::lf;
    std::string* memory_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t size_ = 0;
    char last_ = '\n';
    bool failed_ = false;
};

}  // namespace quarnel
