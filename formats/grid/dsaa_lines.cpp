#include "formats/grid/dsaa_lines.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/afx/stdio_file.h"
#include "formats/grid/c_number.h"
#include "formats/grid/input_file.h"
#include "formats/grid/next_token.h"
#include "formats/grid/plain_decimal.h"

namespace quarnel {
namespace {

constexpr int kHeaderLines = 5;
// Grid lines are far shorter; a longer line is gathered into a string of its own.
constexpr std::size_t kBufferSize = std::size_t(1) << 20;

std::string_view View(const CString& line) {
    return {line.GetString(), std::size_t(line.GetLength())};
}

std::string_view TrimBoth(std::string_view text) {
    constexpr const char* kSpace = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

// Space, or one of \t \n \v \f \r (9 to 13): what GetNextToken skips before a token.
bool IsCSpace(char c) {
    return c == ' ' || unsigned(c - '\t') < 5;
}

// The lines of a file as CStdioFile::ReadString gives them (a line up to kMaxLineLength bytes,
// reading stops at a longer one), without copying a line that lies wholly in the buffer.
class LineSource {
  public:
    explicit LineSource(std::FILE* file) : file_(file), buffer_(kBufferSize) {}
    ~LineSource() { std::fclose(file_); }
    LineSource(const LineSource&) = delete;
    LineSource& operator=(const LineSource&) = delete;

    // The next line without its "\n", valid until the next call; false once the file is
    // exhausted or at a line that is too long.
    bool Next(std::string_view& line) {
        if (tooLong_) return false;
        for (;;) {
            const char* start = buffer_.data() + begin_;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            if (newline != nullptr) {
                line = {start, std::size_t(newline - start)};
                begin_ = std::size_t(newline - buffer_.data()) + 1;
                return true;
            }
            if (eof_) {
                line = {start, end_ - begin_};
                begin_ = end_;
                return !line.empty();
            }
            if (begin_ == 0 && end_ == buffer_.size()) return LongLine(line);
            Refill();
        }
    }

    bool TooLong() const { return tooLong_; }

  private:
    // Keeps the unread bytes and reads behind them.
    void Refill() {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
        end_ += got;
        eof_ = got == 0;
    }

    // A line longer than the buffer, gathered chunk by chunk.
    bool LongLine(std::string_view& line) {
        longLine_.clear();
        for (;;) {
            const char* start = buffer_.data() + begin_;
            const auto* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
            const std::size_t length = newline != nullptr ? std::size_t(newline - start) : end_ - begin_;
            if (longLine_.size() + length > CStdioFile::kMaxLineLength) {
                tooLong_ = true;
                return false;
            }
            longLine_.append(start, length);
            begin_ += length;
            if (newline != nullptr) {
                ++begin_;
                break;
            }
            Refill();
            if (eof_) break;
        }
        line = longLine_;
        return true;
    }

    std::FILE* file_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool eof_ = false;
    bool tooLong_ = false;
    std::string longLine_;
};

// Stores value k, for k below capacity, where DsaaValueBlocks says, walking the blocks in order.
class BlockWriter {
  public:
    explicit BlockWriter(const DsaaValueBlocks& out) : out_(out) {}

    void Put(std::uint64_t k, double value) {
        if (k >= out_.capacity) return;
        out_.blocks[block_][index_ * out_.stride] = value;
        if (++index_ == out_.blockValues) {
            index_ = 0;
            ++block_;
        }
    }

  private:
    const DsaaValueBlocks& out_;
    std::size_t block_ = 0;
    std::size_t index_ = 0;
};

// The value of the token at p (a byte that is no C space) under the blank-separated token rule:
// the token runs to the next blank or the end of the line, and converts as atof does. Sets p
// past the token.
double TokenValue(const char*& p, const char* end) {
    double value = 0.0;
    const char* const stop = ScanPlainDouble(p, end, &value);
    if (stop != nullptr && (stop == end || *stop == ' ')) {
        p = stop;
        return value;
    }
    const auto* blank = static_cast<const char*>(std::memchr(p, ' ', std::size_t(end - p)));
    const char* const tokenEnd = blank != nullptr ? blank : end;
    // A plain decimal followed by a byte that cannot go on with it is what atof reads too.
    if (stop == nullptr) value = AtofText({p, std::size_t(tokenEnd - p)});
    p = tokenEnd;
    return value;
}

}  // namespace

DsaaLinesStatus ProbeDsaaLines(const char* path, DsaaLinesShape& shape) {
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) return DsaaLinesStatus::cannot_open;
    CString line;
    file.ReadString(line);
    if (TrimBoth(View(line)) != "DSAA") return DsaaLinesStatus::not_dsaa;
    file.ReadString(line);
    std::string_view rest = View(line);
    shape.nx = AtoiText(GetNextToken(rest));
    shape.ny = AtoiText(GetNextToken(rest));
    return file.LineTooLong() ? DsaaLinesStatus::line_too_long : DsaaLinesStatus::ok;
}

DsaaLineValues ReadDsaaLineValues(const char* path, const DsaaValueBlocks& out) {
    std::FILE* const file = OpenInputFile(path);
    if (file == nullptr) return {DsaaLinesStatus::cannot_open, 0};
    LineSource lines(file);
    std::string_view line;
    for (int i = 0; i < kHeaderLines; ++i) lines.Next(line);
    BlockWriter writer(out);
    std::uint64_t count = 0;
    while (lines.Next(line)) {
        const char* p = line.data();
        const char* const end = p + line.size();
        for (;;) {
            while (p != end && IsCSpace(*p)) ++p;
            if (p == end) break;
            const double value = TokenValue(p, end);
            if (!std::isfinite(value)) return {DsaaLinesStatus::not_finite, count};
            writer.Put(count++, value);
        }
    }
    return {lines.TooLong() ? DsaaLinesStatus::line_too_long : DsaaLinesStatus::ok, count};
}

}  // namespace quarnel
