#include "formats/grid/scan_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "formats/grid/input_file.h"
#include "formats/grid/native_path.h"
#include "formats/grid/plain_decimal.h"

namespace quarnel {
namespace {

// Large enough that refills are rare, and well above the longest number a read looks at.
constexpr std::size_t kBufferSize = std::size_t(1) << 17;
static_assert(kBufferSize > 2 * kMaxNumberText);

// Space, or one of \t \n \v \f \r (9 to 13).
bool IsBlank(char c) {
    return c == ' ' || unsigned(c - '\t') < 5;
}

}  // namespace

const char* ScanStatusText(ScanStatus status) {
    switch (status) {
        case ScanStatus::ok:
            return "ok";
        case ScanStatus::end_of_input:
            return "unexpected end of file";
        case ScanStatus::no_match:
            return "not a number";
        case ScanStatus::too_long:
            return "token too long";
        case ScanStatus::out_of_range:
            return "integer out of range";
        case ScanStatus::read_error:
            return "read error";
        case ScanStatus::not_finite:
            return "a value that is not a finite number";
    }
    return "unknown";
}

ScanStream::ScanStream() : buffer_(new char[kBufferSize]) {}

ScanStream::~ScanStream() {
    Close();
}

bool ScanStream::Open(const char* path) {
    Close();
    file_ = OpenInputFile(path);
    begin_ = end_ = 0;
    consumed_ = 0;
    eof_ = error_ = false;
    std::error_code sizeError;
    size_ = file_ != nullptr ? std::filesystem::file_size(NativePath(path), sizeError) : 0;
    if (sizeError) size_ = UINT64_MAX;
    return file_ != nullptr;
}

void ScanStream::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

// Makes at least `wanted` unread bytes available unless the file ends first; false after a
// read error (or on a stream that is not open).
bool ScanStream::Fill(std::size_t wanted) {
    if (file_ == nullptr) error_ = eof_ = true;
    if (end_ - begin_ >= wanted || eof_) return !error_;
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    consumed_ += begin_;
    end_ -= begin_;
    begin_ = 0;
    while (end_ < wanted && !eof_) {
        const std::size_t got = std::fread(buffer_.get() + end_, 1, kBufferSize - end_, file_);
        end_ += got;
        if (got == 0) {
            eof_ = true;
            error_ = std::ferror(file_) != 0;
        }
    }
    return !error_;
}

// Skips white space; false when none but white space is left (or reading failed).
bool ScanStream::SkipBlanks() {
    for (;;) {
        const char* buffer = buffer_.get();
        while (begin_ < end_ && IsBlank(buffer[begin_])) ++begin_;
        if (begin_ < end_) return true;
        if (eof_ || !Fill(1) || begin_ == end_) return false;
    }
}

ScanResult ScanStream::Stopped() const {
    return {error_ ? ScanStatus::read_error : ScanStatus::end_of_input, Position()};
}

// Walks the next token, handing its bytes to take chunk by chunk across refills. A token longer
// than limit bytes is too_long as soon as byte limit + 1 is seen: the walk never goes further,
// so an endless token ends the read instead of the job.
template <class Take>
ScanResult ScanStream::Run(Take take, std::size_t limit) {
    if (!SkipBlanks()) return Stopped();
    const std::uint64_t start = Position();
    std::size_t walked = 0;
    for (;;) {
        const char* buffer = buffer_.get();
        const std::size_t room = limit - walked;
        const std::size_t bound = room >= end_ - begin_ ? end_ : begin_ + room + 1;
        std::size_t stop = begin_;
        while (stop < bound && !IsBlank(buffer[stop])) ++stop;
        take(buffer + begin_, stop - begin_);
        walked += stop - begin_;
        begin_ = stop;
        if (walked > limit) return {ScanStatus::too_long, start};
        if (stop < end_ || eof_) break;
        if (!Fill(1)) return {ScanStatus::read_error, start};
        if (begin_ == end_) break;
    }
    return {ScanStatus::ok, start};
}

ScanResult ScanStream::Word(char* out, std::size_t capacity) {
    std::size_t length = 0;
    const ScanResult result = Run(
        [&](const char* bytes, std::size_t count) {
            if (length + count < capacity) std::memcpy(out + length, bytes, count);
            length += count;
        },
        capacity > 0 ? capacity - 1 : 0);
    if (capacity > 0) out[result.ok() ? length : 0] = '\0';
    return result;
}

ScanResult ScanStream::Word(std::string& out, std::size_t maxLength) {
    out.clear();
    const ScanResult result =
        Run([&](const char* bytes, std::size_t count) { out.append(bytes, count); }, maxLength);
    if (!result.ok()) out.clear();
    return result;
}

// The bytes a number read may look at: up to kMaxNumberText + 1 from the token's start, so a
// conversion that stops inside the window stops where it would on the whole file.
bool ScanStream::NumberWindow(const char** first, const char** last, ScanResult* result) {
    if (!SkipBlanks()) {
        *result = Stopped();
        return false;
    }
    *result = {ScanStatus::ok, Position()};
    if (!Fill(kMaxNumberText + 1)) {
        result->status = ScanStatus::read_error;
        return false;
    }
    *first = buffer_.get() + begin_;
    *last = *first + std::min(end_ - begin_, kMaxNumberText + 1);
    return true;
}

ScanResult ScanStream::FinishNumber(const char* end, NumberError error, std::uint64_t start) {
    const std::size_t taken = std::size_t(end - (buffer_.get() + begin_));
    if (taken > kMaxNumberText) return {ScanStatus::too_long, start};
    begin_ += taken;
    switch (error) {
        case NumberError::none:
            return {ScanStatus::ok, start};
        case NumberError::no_match:
            return {ScanStatus::no_match, start};
        case NumberError::out_of_range:
            return {ScanStatus::out_of_range, start};
    }
    return {ScanStatus::no_match, start};
}

ScanResult ScanStream::Int(std::int32_t& out) {
    const char* first = nullptr;
    const char* last = nullptr;
    ScanResult result;
    if (!NumberWindow(&first, &last, &result)) return result;
    const IntToken token = ScanIntToken(first, last);
    result = FinishNumber(token.end, token.error, result.position);
    if (result.ok()) out = token.value;
    return result;
}

// Most values of a grid are plain decimals wholly inside the buffer: they are read here without
// a refill check or the general conversion. False leaves the stream as it was but for the blanks
// skipped, for the general path to take over.
inline bool ScanStream::TakePlainFloat(float& out, ScanResult& result) {
    const char* const buffer = buffer_.get();
    const char* const last = buffer + end_;
    const char* p = buffer + begin_;
    while (p != last && IsBlank(*p)) ++p;
    begin_ = std::size_t(p - buffer);
    if (p == last) return false;
    float value = 0.0f;
    const char* const end = ScanPlainDecimal(p, last, &value);
    // A token that reaches the end of the buffer may go on in the next read of the file.
    if (end == nullptr || (end == last && !eof_)) return false;
    result = {ScanStatus::ok, consumed_ + begin_};
    begin_ = std::size_t(end - buffer);
    out = value;
    return true;
}

ScanResult ScanStream::Floats(double* out, std::size_t count) {
    ScanResult result{};
    for (std::size_t i = 0; i < count; ++i) {
        float value = 0.0f;
        if (!TakePlainFloat(value, result) && !(result = Float(value)).ok()) return result;
        out[i] = value;
    }
    return {ScanStatus::ok, Position()};
}

ScanResult ScanStream::Float(float& out) {
    ScanResult result{};
    if (TakePlainFloat(out, result)) return result;
    const char* first = nullptr;
    const char* last = nullptr;
    if (!NumberWindow(&first, &last, &result)) return result;
    const FloatToken token = ScanFloatToken(first, last);
    result = FinishNumber(token.end, token.error, result.position);
    if (result.ok()) out = token.value;
    return result;
}

}  // namespace quarnel
