#include "cli/gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>

namespace quarnel::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Converter OpenGbkToUtf8() {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    const Converter converter = OpenGbkToUtf8();
    if (!converter) return std::string(gbk);
    std::string out;
    char chunk[4096];
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char* next = chunk;
        std::size_t room = sizeof chunk;
        const std::size_t done = iconv(converter.get(), &in, &inLeft, &next, &room);
        out.append(chunk, static_cast<std::size_t>(next - chunk));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ, or EINVAL for a lead byte cut off at the end: replace one byte and go on.
        out.append(kReplacement);
        ++in;
        --inLeft;
    }
    return out;
}

bool ReadGbkFileAsUtf8(const char* path, std::string& utf8) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::string gbk;
    try {
        gbk.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        // A read error (a folder opens, then cannot be read) leaves the stream buffer as an exception.
        return false;
    }
    if (file.bad()) return false;
    utf8 = GbkToUtf8(gbk);
    return true;
}

}  // namespace quarnel::cli
