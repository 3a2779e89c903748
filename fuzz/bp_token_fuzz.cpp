// The blank-separated token rule and the atof/atoi conversions of the BP files. Tokens never
// hold a blank nor start with white space, and taking them all consumes the line; AtofText and
// AtoiText agree with the C library's strtod and a 32-bit strtol in the C locale.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/grid/c_number.h"
#include "formats/grid/next_token.h"

namespace {

bool IsCBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

[[noreturn]] void Mismatch(const char* what, std::string_view text) {
    std::fprintf(stderr, "%s on %zu bytes:", what, text.size());
    for (unsigned char c : text) std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

void CheckConversions(std::string_view token) {
    // The C functions stop at a NUL; so does every number text.
    const std::string text(token.substr(0, token.find('\0')));
    const double expected = std::strtod(text.c_str(), nullptr);
    const double value = quarnel::AtofText(token);
    if (std::memcmp(&value, &expected, sizeof value) != 0 && !(std::isnan(value) && std::isnan(expected))) {
        Mismatch("AtofText differs from strtod", token);
    }
    errno = 0;
    const long long wide = std::strtoll(text.c_str(), nullptr, 10);
    const int clamped = wide > INT_MAX ? INT_MAX : wide < INT_MIN ? INT_MIN : static_cast<int>(wide);
    if (quarnel::AtoiText(token) != clamped) Mismatch("AtoiText differs from a 32-bit strtol", token);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    std::string_view rest = line;
    CheckConversions(rest);
    for (std::size_t taken = 0; !rest.empty(); ++taken) {
        if (taken > size) Mismatch("GetNextToken does not consume the line", line);
        const std::size_t before = rest.size();
        const std::string_view token = quarnel::GetNextToken(rest);
        if (token.find(' ') != std::string_view::npos) Mismatch("a token holds a blank", line);
        if (!token.empty() && IsCBlank(token.front())) Mismatch("a token starts with white space", line);
        if (rest.size() >= before && !rest.empty()) Mismatch("GetNextToken made no progress", line);
        if (!rest.empty() && rest.front() != ' ') Mismatch("the rest does not start at the blank", line);
        CheckConversions(token);
    }
    return 0;
}
