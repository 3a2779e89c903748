// ScanStream against fscanf over the same file: a run of "%s", "%d" and "%f" reads (chosen by
// the first two bytes, the file being the rest) must give the same results and leave both
// streams at the same offset after every read. Where the grid layer refuses an integer beyond
// 32 bits only the offsets are compared; a word longer than its field or a number text beyond
// 4096 bytes ends the comparison, since the grid layer stops reading inside such a token and
// fscanf has no such limit.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "formats/grid/scan_stream.h"

namespace {

using quarnel::ScanStatus;

constexpr int kMaxReads = 256;
constexpr std::size_t kWordCapacity = 64;
constexpr std::size_t kLongestInput = 65536;

[[noreturn]] void Mismatch(const char* what, int read) {
    std::fprintf(stderr, "ScanStream differs from fscanf: %s at read %d\n", what, read);
    std::abort();
}

// fscanf's return value as the grid layer's status.
ScanStatus StatusOf(int assigned) {
    if (assigned == EOF) return ScanStatus::end_of_input;
    return assigned == 1 ? ScanStatus::ok : ScanStatus::no_match;
}

// One read of each kind on both streams; false when the comparison cannot go on (the end of
// the file, or a token the grid layer limits where fscanf does not).
bool CompareWord(quarnel::ScanStream& ours, std::FILE* theirs, int read) {
    char word[kWordCapacity];
    const quarnel::ScanResult result = ours.Word(word, sizeof word);
    // Longer than any input the engine makes (-max_len), so fscanf never splits a word.
    static char expected[kLongestInput + 1];
    const int assigned = std::fscanf(theirs, "%65536s", expected);
    // A word may hold NUL bytes, so its length shows in the offsets compared after each read.
    if (result.status == ScanStatus::too_long) {
        if (assigned != 1) Mismatch("a long word", read);
        return false;
    }
    if (result.status != StatusOf(assigned)) Mismatch("the status of %s", read);
    if (assigned == 1 && std::strcmp(word, expected) != 0) Mismatch("the word", read);
    return assigned != EOF;
}

bool CompareInt(quarnel::ScanStream& ours, std::FILE* theirs, int read) {
    std::int32_t value = 0;
    const quarnel::ScanResult result = ours.Int(value);
    int expected = 0;
    const int assigned = std::fscanf(theirs, "%d", &expected);
    if (result.status == ScanStatus::too_long) return false;
    if (result.status == ScanStatus::out_of_range) {
        if (assigned != 1) Mismatch("an integer beyond 32 bits", read);
        return true;
    }
    if (result.status != StatusOf(assigned)) Mismatch("the status of %d", read);
    if (assigned == 1 && value != expected) Mismatch("the integer", read);
    return assigned != EOF;
}

bool CompareFloat(quarnel::ScanStream& ours, std::FILE* theirs, int read) {
    float value = 0;
    const quarnel::ScanResult result = ours.Float(value);
    float expected = 0;
    const int assigned = std::fscanf(theirs, "%f", &expected);
    if (result.status == ScanStatus::too_long) return false;
    if (result.status != StatusOf(assigned)) Mismatch("the status of %f", read);
    if (assigned == 1 && std::memcmp(&value, &expected, sizeof value) != 0 &&
        !(std::isnan(value) && std::isnan(expected))) {
        Mismatch("the real", read);
    }
    return assigned != EOF;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > kLongestInput) return 0;
    const unsigned plan = data[0] | (data[1] << 8);
    const std::string path = quarnel::fuzz::Scratch::Fresh().Write("stream", data + 2, size - 2);
    quarnel::ScanStream ours;
    std::FILE* theirs = std::fopen(path.c_str(), "rb");
    if (!ours.Open(path.c_str()) || theirs == nullptr) std::abort();
    for (int read = 0; read < kMaxReads; ++read) {
        const unsigned kind = (plan >> (2 * (read % 8))) & 3;
        const bool goOn = kind == 0   ? CompareWord(ours, theirs, read)
                          : kind == 1 ? CompareInt(ours, theirs, read)
                                      : CompareFloat(ours, theirs, read);
        if (!goOn) break;
        if (ours.Position() != static_cast<std::uint64_t>(std::ftell(theirs))) Mismatch("the offset", read);
    }
    std::fclose(theirs);
    return 0;
}
