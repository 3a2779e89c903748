#pragma once
// Buffered text output with printf's layouts and no printf per value.
//
// Print takes a format in printf's notation for the conversions the library's files use
// (%d %ld %s %f with the '-' flag, width and precision, and %%) and writes exactly printf's bytes, with one house rule: a number never touches the text
// before it. When a converted number would start right after a byte that is not white space
// (because the value is wider than its field), one blank is written before it.
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

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

class TextSink {
public:
    TextSink() = default;
    ~TextSink();
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    // Creates or truncates path for writing; false when it cannot be created.
    bool Open(const char* path);
    bool IsOpen() const { return file_ != nullptr; }
    // Flushes and closes; false when any write failed.
    bool Close();

    void Put(std::string_view text);
    void Put(char c);
    // "%W.Pf" and "%Wd" with the house rule.
    void Fixed(double v, int width, int precision);
    void Int(long long v, int width = 0);

    template <class... Args>
    void Print(std::string_view format, const Args&... args) {
        PrintArgs(format, {FormatArg(args)...});
    }
    void PrintArgs(std::string_view format, std::initializer_list<FormatArg> args);

    bool failed() const { return failed_; }

private:
    void PutNumber(const char* text, std::size_t length);
    void Flush();

    std::FILE* file_ = nullptr;
    std::string buffer_;
    char last_ = '\n';
    bool failed_ = false;
};

}  // namespace quarnel
