// Number text against the C library itself: ScanFloatToken and ScanIntToken must take exactly
// the bytes, and give exactly the values, that fscanf's "%f" and "%d" take from a stream of the
// same bytes; FormatFixed and FormatInt must give exactly printf's bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "formats/grid/number_text.h"

namespace {

using quarnel::NumberError;

bool IsCBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

[[noreturn]] void Mismatch(const char* what, const std::string& text) {
    std::fprintf(stderr, "%s differs from the C library on %zu bytes:", what, text.size());
    for (unsigned char c : text) std::fprintf(stderr, " %02x", c);
    std::fprintf(stderr, "\n");
    std::abort();
}

// What fscanf makes of text with one conversion: its return value, the value and the bytes read.
template <class T>
int CLibraryScan(const std::string& text, const char* conversion, T* value, long* consumed) {
    std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (stream == nullptr) std::abort();
    const int assigned = std::fscanf(stream, conversion, value);
    *consumed = std::ftell(stream);
    std::fclose(stream);
    return assigned;
}

bool SameFloat(float a, float b) {
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckFloat(const std::string& text) {
    const quarnel::FloatToken token = quarnel::ScanFloatToken(text.data(), text.data() + text.size());
    float expected = 0;
    long consumed = 0;
    const int assigned = CLibraryScan(text, "%f", &expected, &consumed);
    if (token.end - text.data() != consumed) Mismatch("ScanFloatToken's length", text);
    if ((token.error == NumberError::none) != (assigned == 1)) Mismatch("ScanFloatToken's verdict", text);
    if (assigned == 1 && !SameFloat(token.value, expected)) Mismatch("ScanFloatToken's value", text);
}

void CheckInt(const std::string& text) {
    const quarnel::IntToken token = quarnel::ScanIntToken(text.data(), text.data() + text.size());
    int expected = 0;
    long consumed = 0;
    const int assigned = CLibraryScan(text, "%d", &expected, &consumed);
    if (token.end - text.data() != consumed) Mismatch("ScanIntToken's length", text);
    // Beyond 32 bits the C library stores a truncated value; the grid layer refuses the token.
    if (token.error == NumberError::out_of_range) {
        if (assigned != 1) Mismatch("ScanIntToken's verdict", text);
        return;
    }
    if ((token.error == NumberError::none) != (assigned == 1)) Mismatch("ScanIntToken's verdict", text);
    if (assigned == 1 && token.value != expected) Mismatch("ScanIntToken's value", text);
}

void CheckFormats(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double) + 2) return;
    double v;
    std::memcpy(&v, data, sizeof v);
    const int width = static_cast<std::int8_t>(data[sizeof v]) % (quarnel::kMaxFixedWidth + 1);
    const int precision = data[sizeof v + 1] % (quarnel::kMaxFixedPrecision + 1);
    char ours[quarnel::kMaxFixedChars + 1];
    char theirs[quarnel::kMaxFixedChars + 1];
    std::size_t length = quarnel::FormatFixed(ours, v, width, precision);
    int expected = std::snprintf(theirs, sizeof theirs, "%*.*f", width, precision, v);
    if (length != static_cast<std::size_t>(expected) || std::memcmp(ours, theirs, length) != 0) {
        Mismatch("FormatFixed", std::string(reinterpret_cast<const char*>(data), sizeof v + 2));
    }
    long long n;
    std::memcpy(&n, data, sizeof n);
    length = quarnel::FormatInt(ours, n, width);
    expected = std::snprintf(theirs, sizeof theirs, "%*lld", width, n);
    if (length != static_cast<std::size_t>(expected) || std::memcmp(ours, theirs, length) != 0) {
        Mismatch("FormatInt", std::string(reinterpret_cast<const char*>(data), sizeof v + 2));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start < text.size() && IsCBlank(text[start])) ++start;
    text.erase(0, start);
    if (!text.empty()) {
        CheckFloat(text);
        CheckInt(text);
    }
    CheckFormats(data, size);
    return 0;
}
