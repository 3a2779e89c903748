#include "formats/grid/text_sink.h"

#include <algorithm>
#include <cstring>

#include "formats/grid/number_text.h"

namespace quarnel {
namespace {

constexpr std::size_t kBufferSize = std::size_t(1) << 16;

// A number written right after one of these bytes would read as part of the word before it.
bool GluesToNumber(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.';
}

struct FormatDirective {
    bool left = false;
    int width = 0;
    int precision = -1;
    char conversion = '\0';
};

// Parses "[-][width][.precision][l|ll]conversion" at format[i], just past the '%'; returns the
// index after it, or npos when the text is no conversion the sink supports.
std::size_t ParseDirective(std::string_view format, std::size_t i, FormatDirective& directive) {
    auto number = [&](int limit) {
        int value = 0;
        for (; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i) {
            value = value * 10 + (format[i] - '0');
            if (value > limit) return -1;
        }
        return value;
    };
    for (; i < format.size() && format[i] == '-'; ++i) directive.left = true;
    if (i < format.size() && format[i] == '0') return std::string_view::npos;  // zero padding
    directive.width = number(kMaxFixedWidth);
    if (directive.width < 0) return std::string_view::npos;
    if (i < format.size() && format[i] == '.') {
        ++i;
        directive.precision = number(kMaxFixedPrecision);
        if (directive.precision < 0) return std::string_view::npos;
    }
    for (int l = 0; l < 2 && i < format.size() && format[i] == 'l'; ++l) ++i;
    if (i == format.size()) return std::string_view::npos;
    directive.conversion = format[i] == 'i' ? 'd' : format[i];
    return i + 1;
}

// Called with a number's text at out[0..length) and room for one more byte.
std::size_t Separated(char* out, std::size_t length, char last) {
    if (out[0] == ' ' || !GluesToNumber(last)) return length;
    std::memmove(out + 1, out, length);
    out[0] = ' ';
    return length + 1;
}

// The bytes of text with each "\n" as "\r\n". Each "\n" is expanded on its own, so where the
// buffer happens to be flushed cannot change the bytes written.
std::string WithCrlf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + std::size_t(std::count(text.begin(), text.end(), '\n')));
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = std::min(text.find('\n', start), text.size());
        out.append(text.substr(start, newline - start));
        if (newline < text.size()) out.append("\r\n");
        start = newline + 1;
    }
    return out;
}

}  // namespace

TextSink::TextSink() : buffer_(new char[kBufferSize]) {}

TextSink::~TextSink() = default;

bool TextSink::Open(const char* path, LineEnds lineEnds) {
    if (IsOpen()) Close();
    // Binary mode: the line ends are Flush's to write, the same on every platform for lineEnds.
    lineEnds_ = lineEnds;
    size_ = 0;
    last_ = '\n';
    failed_ = false;
    return file_.Create(path);
}

void TextSink::OpenMemory(std::string* target) {
    if (IsOpen()) Close();
    memory_ = target;
    size_ = 0;
    last_ = '\n';
    failed_ = false;
}

bool TextSink::Finish() {
    Flush();
    if (file_.IsOpen() && !file_.Finish()) failed_ = true;
    return !failed_;
}

bool TextSink::Close() {
    if (Finish() && file_.IsOpen() && !file_.Commit()) failed_ = true;
    file_.Discard();
    memory_ = nullptr;
    return !failed_;
}

void TextSink::Discard() {
    size_ = 0;
    file_.Discard();
    memory_ = nullptr;
}

void TextSink::Flush() {
    if (size_ == 0) return;
    if (memory_ != nullptr) {
        memory_->append(buffer_.get(), size_);
    } else if (!file_.IsOpen()) {
        failed_ = true;
    } else {
        std::string expanded;
        std::string_view bytes(buffer_.get(), size_);
        if (lineEnds_ == LineEnds::crlf) {
            expanded = WithCrlf(bytes);
            bytes = expanded;
        }
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_.stream()) != bytes.size()) failed_ = true;
    }
    size_ = 0;
}

char* TextSink::Reserve(std::size_t length) {
    if (size_ + length > kBufferSize) Flush();
    return buffer_.get() + size_;
}

void TextSink::Commit(char* end) {
    const std::size_t size = std::size_t(end - buffer_.get());
    if (size > size_) last_ = end[-1];
    size_ = size;
}

void TextSink::Put(std::string_view text) {
    while (!text.empty()) {
        const std::size_t chunk = std::min(text.size(), kBufferSize);
        char* out = Reserve(chunk);
        std::memcpy(out, text.data(), chunk);
        Commit(out + chunk);
        text.remove_prefix(chunk);
    }
}

void TextSink::Put(char c) {
    char* out = Reserve(1);
    *out = c;
    Commit(out + 1);
}

void TextSink::Fixed(double v, int width, int precision) {
    if (width < -kMaxFixedWidth || width > kMaxFixedWidth || precision > kMaxFixedPrecision) {
        failed_ = true;
        return;
    }
    char* out = Reserve(kMaxFixedChars + 1);
    Commit(out + Separated(out, FormatFixed(out, v, width, precision), last_));
}

void TextSink::FixedRow(const double* values, std::size_t count, int width, int precision,
                        std::string_view separator) {
    // The separator goes out as one fixed-size move; the bytes past it are overwritten next.
    char tail[8] = {};
    if (width < -kMaxFixedWidth || width > kMaxFixedWidth || precision > kMaxFixedPrecision ||
        separator.size() > sizeof tail) {
        failed_ = true;
        return;
    }
    separator.copy(tail, separator.size());
    for (std::size_t i = 0; i < count; ++i) {
        char* out = Reserve(kMaxFixedChars + 1 + sizeof tail);
        char* end = out + Separated(out, FormatFixed(out, values[i], width, precision), last_);
        std::memcpy(end, tail, sizeof tail);
        Commit(end + separator.size());
    }
}

void TextSink::Int(long long v, int width) {
    if (width < -kMaxFixedWidth || width > kMaxFixedWidth) {
        failed_ = true;
        return;
    }
    char* out = Reserve(kMaxIntChars + 1);
    Commit(out + Separated(out, FormatInt(out, v, width), last_));
}

void TextSink::PutPadded(std::string_view text, int width) {
    const std::size_t field = std::size_t(width < 0 ? -width : width);
    const std::string pad(field > text.size() ? field - text.size() : 0, ' ');
    if (width > 0) Put(pad);
    Put(text);
    if (width < 0) Put(pad);
}

void TextSink::Convert(char conversion, int width, int precision, const FormatArg* arg) {
    const bool fits = arg != nullptr;
    if (fits && conversion == 'f' && arg->kind() == FormatArg::Kind::real) {
        Fixed(arg->real(), width, precision < 0 ? 6 : precision);
    } else if (fits && conversion == 'd' && arg->kind() == FormatArg::Kind::integer && precision < 0) {
        Int(arg->integer(), width);
    } else if (fits && conversion == 's' && arg->kind() == FormatArg::Kind::text) {
        const std::string_view text = arg->text();
        PutPadded(precision < 0 ? text : text.substr(0, std::size_t(precision)), width);
    } else {
        failed_ = true;
    }
}

void TextSink::PrintArgs(std::string_view format, std::initializer_list<FormatArg> args) {
    const FormatArg* arg = args.begin();
    std::size_t i = 0;
    while (i < format.size()) {
        const std::size_t percent = format.find('%', i);
        Put(format.substr(i, percent - i));
        if (percent == std::string_view::npos) return;
        if (percent + 1 < format.size() && format[percent + 1] == '%') {
            Put('%');
            i = percent + 2;
            continue;
        }
        FormatDirective directive;
        i = ParseDirective(format, percent + 1, directive);
        if (i == std::string_view::npos) {
            failed_ = true;
            return;
        }
        Convert(directive.conversion, directive.left ? -directive.width : directive.width,
                directive.precision, arg == args.end() ? nullptr : arg);
        if (arg != args.end()) ++arg;
    }
}

}  // namespace quarnel
