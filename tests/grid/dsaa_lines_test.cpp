// ReadDsaaLineValues, the line reader of BP classification: the blank-separated token rule, atof
// conversion, where values are stored, and every value of random files against glibc's strtod
// applied to the tokens of each line.
#include "formats/grid/dsaa_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using TempDir = testkit::TempFolder;
using testkit::WriteFile;

constexpr const char* kHeader = "DSAA\n2 2\n0 1\n0 1\n0 1\n";

struct Read {
    DsaaLinesStatus status;
    std::vector<double> values;  // those stored, capacity at most
};

Read ReadText(const TempDir& dir, const std::string& text, std::uint64_t capacity = 64) {
    const std::string path = dir / "grid.grd";
    WriteFile(path, text);
    std::vector<double> values(capacity);
    double* const block = values.data();
    const DsaaLineValues read = ReadDsaaLineValues(path.c_str(), {&block, capacity, 1, capacity});
    values.resize(std::min(read.count, capacity));
    return {read.status, values};
}

// glibc's reading of the documented rule: lines split at "\n", tokens split at blanks and
// trimmed of C white space, each through strtod.
Read Reference(const std::string& text) {
    Read read{DsaaLinesStatus::ok, {}};
    std::size_t line = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t newline = std::min(text.find('\n', start), text.size());
        if (line++ >= 5) {
            std::size_t p = start;
            while (p < newline) {
                const std::size_t blank = std::min(text.find(' ', p), newline);
                const std::string token = text.substr(p, blank - p);
                p = blank + 1;
                if (token.find_first_not_of(" \t\r\v\f") == std::string::npos) continue;
                const double value = std::strtod(token.c_str(), nullptr);
                if (!std::isfinite(value)) return {DsaaLinesStatus::not_finite, read.values};
                read.values.push_back(value);
            }
        }
        start = newline + 1;
    }
    return read;
}

// Bitwise, so that -0 and 0 differ.
void ExpectSameValues(const std::vector<double>& actual, const std::vector<double>& expected,
                      const std::string& text) {
    ASSERT_EQ(actual.size(), expected.size()) << text;
    for (std::size_t k = 0; k < actual.size(); ++k) {
        EXPECT_EQ(std::signbit(actual[k]), std::signbit(expected[k])) << "value " << k << " of\n" << text;
        EXPECT_EQ(actual[k], expected[k]) << "value " << k << " of\n" << text;
    }
}

TEST(ReadDsaaLineValues, TakesTheTokensTheBlankSeparatedRuleGives) {
    struct Case {
        const char* body;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"1.5\t2.5 3\r\n", {1.5, 3}},                       // a tab does not separate; CRLF ends a line
        {"\t 7 \r\n\n  \t\n8", {7, 8}},                     // blank lines, and a last line without "\n"
        {"x 1.5abc -.5 +2. 1e3", {0, 1.5, -0.5, 2, 1000}},  // atof: a prefix, or 0
        {"0x1p3 1.5.5 1-2 2e+", {8, 1.5, 1, 2}},
        {"12345678901234567890123 0.1000000000000000055511151231257827", {12345678901234567890123.0, 0.1}},
        {"5\v6 7\f", {5, 7}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const Read read = ReadText(dir, kHeader + std::string(c.body));
        EXPECT_EQ(read.status, DsaaLinesStatus::ok) << c.body;
        ExpectSameValues(read.values, c.values, c.body);
    }
    // A NUL byte inside a token ends its number, as it ends atof's.
    const std::string withNul = kHeader + std::string("3\0004 -0", 6);
    ExpectSameValues(ReadText(dir, withNul).values, {3, -0.0}, "NUL");
}

TEST(ReadDsaaLineValues, SkipsFiveLinesAndCountsBeyondCapacity) {
    TempDir dir;
    const std::string path = dir / "grid.grd";
    WriteFile(path, "DSAA\n9\n9\n9\n9\n1 2 3\n4 5 6 7\n");
    std::vector<double> values(12, -1.0);
    // Two blocks of two values, every third double: value k at blocks[k / 2][(k % 2) * 3].
    double* const blocks[] = {values.data(), values.data() + 6};
    const DsaaLineValues read = ReadDsaaLineValues(path.c_str(), {blocks, 2, 3, 4});
    EXPECT_EQ(read.status, DsaaLinesStatus::ok);
    EXPECT_EQ(read.count, 7u);
    EXPECT_EQ(values, (std::vector<double>{1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1}));
    EXPECT_EQ(ReadDsaaLineValues((dir / "missing.grd").c_str(), {blocks, 2, 3, 4}).status,
              DsaaLinesStatus::cannot_open);
}

TEST(ReadDsaaLineValues, AValueThatIsNotFiniteStopsTheRead) {
    TempDir dir;
    for (const char* body : {"1 2 inf 3", "1 2 -NaN 3", "1 2 1e999 3", "1 2 0x1p5000"}) {
        const Read read = ReadText(dir, kHeader + std::string(body));
        EXPECT_EQ(read.status, DsaaLinesStatus::not_finite) << body;
        EXPECT_EQ(read.values, (std::vector<double>{1, 2})) << body;
    }
}

TEST(ReadDsaaLineValues, LinesLongerThanTheReadBufferAreReadWhole) {
    TempDir dir;
    std::string body;
    for (int k = 0; k < 300000; ++k) body += std::to_string(k % 1000) + ".25 ";
    const Read read = ReadText(dir, kHeader + body + "\n1\n" + body, 700000);
    ASSERT_EQ(read.status, DsaaLinesStatus::ok);
    ASSERT_EQ(read.values.size(), 600001u);
    EXPECT_EQ(read.values[299999], 999.25);
    EXPECT_EQ(read.values[300000], 1.0);
    EXPECT_EQ(read.values[600000], 999.25);
}

// Random bodies of grid-like and odd tokens between every kind of white space; the seed is
// printed with a failure.
TEST(ReadDsaaLineValues, RandomFilesReadAsStrtodReadsTheirTokens) {
    const char* const odd[] = {"-",
                               "+",
                               ".",
                               "e5",
                               "1e",
                               "1e+5",
                               "-0",
                               "0x1A",
                               "1.2.3",
                               "7-",
                               "abc",
                               "1,5",
                               "0.1e-2x",
                               "12345678901234567890",
                               "00000000000000000001.5",
                               "9007199254740993"};
    const char* const gaps[] = {" ", "  ", "\t", " \t ", "\r\n", "\n", " \n", "\v", "\f", "\r", "\n\n"};
    TempDir dir;
    const unsigned seed = 20261207;
    std::mt19937 random(seed);
    for (int file = 0; file < 200; ++file) {
        std::string text = kHeader;
        const int tokens = int(random() % 200);
        for (int t = 0; t < tokens; ++t) {
            const unsigned kind = random() % 4;
            if (kind == 0) {
                text += odd[random() % std::size(odd)];
            } else {
                if (random() % 3 == 0) text += random() % 2 ? "-" : "+";
                text += std::to_string(random() % (kind == 1 ? 1000u : 100000000u));
                if (random() % 4 != 0) text.append(".").append(std::to_string(random() % 100000));
            }
            text += gaps[random() % std::size(gaps)];
        }
        const Read expected = Reference(text);
        const Read read = ReadText(dir, text, 512);
        ASSERT_EQ(read.status, expected.status) << "seed " << seed << ", file " << file << ":\n" << text;
        ExpectSameValues(read.values, expected.values, "seed " + std::to_string(seed) + ":\n" + text);
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace quarnel
