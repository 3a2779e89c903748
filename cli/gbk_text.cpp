#include "cli/gbk_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "formats/grid/input_file.h"

namespace quarnel::cli {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Converter OpenGbkToUtf8() {
    iconv_t cd = iconv_open("UTF-8", "GBK");
    // (iconv_t)-1 is iconv_open's documented failure value.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return Converter(cd == reinterpret_cast<iconv_t>(-1) ? nullptr : cd);
}

// Converts gbk onto out; returns the bytes taken. Unless final, a character cut off at the end
// is left for the next call.
std::size_t Convert(iconv_t converter, std::string_view gbk, bool final, std::string& out) {
    char chunk[4096];
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    while (inLeft > 0) {
        char* next = chunk;
        std::size_t room = sizeof chunk;
        const std::size_t done = iconv(converter, &in, &inLeft, &next, &room);
        out.append(chunk, static_cast<std::size_t>(next - chunk));
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        if (errno == EINVAL && !final) break;
        // EILSEQ, or EINVAL for a lead byte cut off at the end: replace one byte and go on.
        out.append(kReplacement);
        ++in;
        --inLeft;
    }
    return gbk.size() - inLeft;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    const Converter converter = OpenGbkToUtf8();
    if (!converter) return std::string(gbk);
    std::string out;
    Convert(converter.get(), gbk, true, out);
    return out;
}

bool PrintGbkFile(const char* path, std::ostream& out) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(OpenInputFile(path), &std::fclose);
    const Converter converter = OpenGbkToUtf8();
    if (!file || !converter) return false;
    std::string pending;
    std::string utf8;
    char last = '\n';
    char chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        if (got == 0 && std::ferror(file.get())) return false;
        pending.append(chunk, got);
        const bool final = got < sizeof chunk;
        utf8.clear();
        pending.erase(0, Convert(converter.get(), pending, final, utf8));
        out << utf8;
        if (!utf8.empty()) last = utf8.back();
        if (final) break;
    }
    if (last != '\n') out << "\n";
    return true;
}

}  // namespace quarnel::cli
