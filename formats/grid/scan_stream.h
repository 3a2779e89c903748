#pragma once
// A buffered stream over a text file that reads tokens the way fscanf's "%s", "%d"/"%ld"
// and "%f" conversions do (leading white space skipped, one conversion per call), so the
// jobs can read many grids in lockstep without holding them. White space is that of the C
// locale (space, \t, \n, \v, \f, \r), so files with CRLF line ends read the same. A number
// read consumes exactly the bytes fscanf would consume, also when it fails. Every read returns
// where its token started and why it stopped; the caller turns that into its job status.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "formats/grid/number_text.h"

namespace quarnel {

enum class ScanStatus {
    ok,
    end_of_input,  // nothing but white space before the end of the file
    no_match,      // the next token is not a number of the requested kind
    too_long,      // the token does not fit the caller's field, or a number runs past 4096 bytes
    out_of_range,  // an integer beyond 32 bits
    read_error,    // the file could not be read
    not_finite,    // a grid value that is inf or nan: grid readers refuse it (never ScanStream)
};

struct ScanResult {
    ScanStatus status;
    std::uint64_t position;  // byte offset where the token started (or where reading stopped)
    bool ok() const { return status == ScanStatus::ok; }
};

const char* ScanStatusText(ScanStatus status);

// Longest number text a read takes; a longer one is too_long, and the stream stops inside it.
inline constexpr std::size_t kMaxNumberText = 4096;

class ScanStream {
  public:
    ScanStream();
    ~ScanStream();
    ScanStream(const ScanStream&) = delete;
    ScanStream& operator=(const ScanStream&) = delete;

    // Opens path for reading only (binary); false when it cannot be opened or is a folder.
    bool Open(const char* path);
    bool IsOpen() const { return file_ != nullptr; }
    void Close();

    // "%s": a run of non-blank bytes, NUL-terminated in out[capacity]. A token of capacity or
    // more bytes is too_long; then out holds "" and the stream stops inside the token (reading
    // never walks further than the longest token the caller takes, so a reader ends on an
    // endless token instead of scanning it).
    ScanResult Word(char* out, std::size_t capacity);
    // The same into a string; a token longer than maxLength is too_long (out empty).
    ScanResult Word(std::string& out, std::size_t maxLength);
    // "%d" / "%ld" (32-bit). out is left unchanged unless the status is ok.
    ScanResult Int(std::int32_t& out);
    // "%f": the value as float32. out is left unchanged unless the status is ok.
    ScanResult Float(float& out);
    // count "%f" reads, each widened to double, into out[0..count). Stops at the first read that
    // is not ok and returns it (out holds the values before it); ok carries Position().
    ScanResult Floats(double* out, std::size_t count);

    // Byte offset of the next unread byte.
    std::uint64_t Position() const { return consumed_ + begin_; }
    // Bytes the file held when it was opened (the largest value when that cannot be told), so a
    // reader can refuse a count the file cannot hold before it reserves memory for it.
    std::uint64_t Size() const { return size_; }
    // Whether the file has room for count values of bytesEach bytes or more each (a value and
    // the blank after it: 2), so a reader refuses a count no file could hold before anything is
    // sized by it.
    bool HasRoomFor(std::uint64_t count, std::uint64_t bytesEach = 2) const {
        return count <= size_ / bytesEach;
    }

  private:
    bool TakePlainFloat(float& out, ScanResult& result);
    bool NumberWindow(const char** first, const char** last, ScanResult* result);
    ScanResult FinishNumber(const char* end, NumberError error, std::uint64_t start);
    template <class Take>
    ScanResult Run(Take take, std::size_t limit);
    bool Fill(std::size_t wanted);
    bool SkipBlanks();
    ScanResult Stopped() const;

    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;  // file offset of buffer_[0]
    std::uint64_t size_ = 0;
    bool eof_ = false;
    bool error_ = false;
};

}  // namespace quarnel
