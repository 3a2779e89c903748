#pragma once
// A buffered stream over a text file that reads tokens the way fscanf's "%s", "%d"/"%ld"
// and "%f" conversions do (leading white space skipped, one conversion per call), so the
// jobs can read many grids in lockstep without holding them. Every read returns where it
// stopped and why; the caller turns that into its job status.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quarnel {

enum class ScanStatus {
    ok,
    end_of_input,  // nothing but white space before the end of the file
    no_match,      // the next token is not a number of the requested kind
    too_long,      // the token does not fit the caller's field (nothing past the field is written)
    out_of_range,  // an integer wider than 32 bits
    read_error,    // the file could not be read
};

struct ScanResult {
    ScanStatus status;
    std::uint64_t position;  // byte offset where the token started (or where reading stopped)
    bool ok() const { return status == ScanStatus::ok; }
};

const char* ScanStatusText(ScanStatus status);

class ScanStream {
public:
    ScanStream() = default;
    ~ScanStream();
    ScanStream(const ScanStream&) = delete;
    ScanStream& operator=(const ScanStream&) = delete;

    // Opens path for reading only; false when it cannot be opened.
    bool Open(const char* path);
    bool IsOpen() const { return file_ != nullptr; }
    void Close();

    // "%s": a run of non-blank bytes, NUL-terminated in out[capacity]. A token of capacity or
    // more bytes is too_long; then out holds nothing and the token is skipped.
    ScanResult Word(char* out, std::size_t capacity);
    ScanResult Word(std::string& out, std::size_t maxLength);
    // "%d" / "%ld" (32-bit).
    ScanResult Int(std::int32_t& out);
    // "%f": the value as float32.
    ScanResult Float(float& out);

    std::uint64_t Position() const;

private:
    bool Fill(std::size_t wanted);
    bool SkipBlanks();

    std::FILE* file_ = nullptr;
    std::string buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    std::uint64_t consumed_ = 0;  // file offset of buffer_[0]
    bool eof_ = false;
    bool error_ = false;
};

}  // namespace quarnel
