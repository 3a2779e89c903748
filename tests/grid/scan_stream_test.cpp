// ScanStream against fscanf over the same files, and every status it reports.
#include "formats/grid/scan_stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

class ScanStreamTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& content) const {
        return folder_.Write(name, content);
    }
    testkit::TempFolder folder_;
};

// Random tokens: numbers of many shapes, some broken, some long, separated by mixed blanks.
std::string RandomTokens(std::mt19937& random, std::size_t minimumSize) {
    const char* fixed[] = {"1e",    "-",     "infx", "nan", "0x1p3", "1.5abc",
                           "99999", "-0.25", "1e+",  "+-1", "abc",   "7"};
    const char* blanks[] = {" ", "\n", "\r\n", "\t", "  ", " \v\f "};
    std::string text;
    char number[64];
    while (text.size() < minimumSize) {
        switch (random() % 4) {
            case 0:
                text += fixed[random() % std::size(fixed)];
                break;
            case 1:
                std::snprintf(number, sizeof number, "%.*f", int(random() % 7),
                              double(std::int32_t(random())) / double(1 + random() % 100000));
                text += number;
                break;
            case 2:
                text += std::to_string(std::int32_t(random()));
                break;
            default:
                text += std::string(1 + random() % 300, char('0' + random() % 10));
                break;
        }
        text += blanks[random() % std::size(blanks)];
    }
    return text;
}

TEST_F(ScanStreamTest, ReadsLikeFscanfAcrossBufferRefills) {
    const unsigned seed = 606;
    std::mt19937 random(seed);
    const std::string path = Write("random.txt", RandomTokens(random, 900000));
    std::FILE* c = std::fopen(path.c_str(), "rb");
    ASSERT_NE(c, nullptr);
    ScanStream stream;
    ASSERT_TRUE(stream.Open(path.c_str()));
    for (int read = 0;; ++read) {
        const int kind = int(random() % 3);
        ScanResult ours{};
        int r = 0;
        if (kind == 0) {
            float expected = 0, got = 0;
            r = std::fscanf(c, "%f", &expected);
            ours = stream.Float(got);
            if (r == 1 && ours.ok()) {
                ASSERT_EQ(std::bit_cast<std::uint32_t>(got), std::bit_cast<std::uint32_t>(expected))
                    << "seed " << seed << " read " << read << " at " << ours.position;
            }
        } else if (kind == 1) {
            int expected = 0;
            std::int32_t got = 0;
            r = std::fscanf(c, "%d", &expected);
            ours = stream.Int(got);
            if (r == 1 && ours.ok()) {
                ASSERT_EQ(got, expected) << "seed " << seed << " read " << read;
            }
            if (ours.status == ScanStatus::out_of_range) r = 1;  // glibc stores a wrapped value
        } else {
            char expected[400] = "", got[400] = "";
            r = std::fscanf(c, "%399s", expected);
            ours = stream.Word(got, sizeof got);
            if (r == 1 && ours.ok()) {
                ASSERT_STREQ(got, expected) << "seed " << seed << " read " << read;
            }
            if (ours.status == ScanStatus::too_long) {
                // fscanf stopped at its field width; skip the rest of the token there too.
                r = 1;
                std::fscanf(c, "%*s");
            }
        }
        if (r == EOF) {
            ASSERT_EQ(ours.status, ScanStatus::end_of_input) << "seed " << seed << " read " << read;
            break;
        }
        ASSERT_EQ(r == 1,
                  ours.ok() || ours.status == ScanStatus::out_of_range || ours.status == ScanStatus::too_long)
            << "seed " << seed << " read " << read << " kind " << kind << " at " << ours.position << ": "
            << ScanStatusText(ours.status);
        ASSERT_EQ(stream.Position(), std::uint64_t(std::ftell(c))) << "seed " << seed << " read " << read;
        if (r != 1) {
            // A failed conversion leaves the token; both sides step over it.
            std::fscanf(c, "%*s");
            std::string skipped;
            stream.Word(skipped, 1 << 20);
        }
    }
    std::fclose(c);
}

// Grid-like values: plain decimals of up to 15 digits, which the short way always takes, or with
// `mixed` of up to 21 digits and with a few other number shapes among them, which it leaves.
std::string RandomGridValues(std::mt19937& random, std::size_t minimumSize, bool mixed) {
    const char* others[] = {"99999", "-0.0", "1e5", "+.5", "0x1p3", "inf", "-2.5E-3", "7.", ".25"};
    const char* blanks[] = {" ", "  ", "\n", "\r\n", "\t"};
    std::string text;
    while (text.size() < minimumSize) {
        if (!text.empty()) text += blanks[random() % std::size(blanks)];
        if (mixed && random() % 10 == 0) {
            text += others[random() % std::size(others)];
            continue;
        }
        if (random() % 4 == 0) text += '-';
        const int digits = 1 + int(random() % (mixed ? 21 : 15));
        const int point = int(random() % (digits + 2));
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += char('0' + random() % 10);
        }
    }
    return text;
}

// Runs of plain decimals are read from the buffer as it stands; tokens that the buffer's end
// cuts in two must still be read whole. Other shapes among them refill the buffer early.
TEST_F(ScanStreamTest, FloatRowsReadLikeFscanf) {
    const unsigned seed = 909;
    std::mt19937 random(seed);
    for (const bool mixed : {false, true}) {
        // Ends in a number, not a blank: the last value meets the end of the file.
        const std::string content = RandomGridValues(random, 700000, mixed);
        const std::string path = Write("rows.txt", content);
        std::vector<float> expected;
        std::FILE* c = std::fopen(path.c_str(), "rb");
        ASSERT_NE(c, nullptr);
        for (float v = 0; std::fscanf(c, "%f", &v) == 1;) expected.push_back(v);
        std::fclose(c);

        ScanStream stream;
        ASSERT_TRUE(stream.Open(path.c_str()));
        std::vector<double> row(64);
        std::size_t read = 0;
        while (read < expected.size()) {
            const std::size_t count = std::min<std::size_t>(1 + random() % 64, expected.size() - read);
            const ScanResult r = stream.Floats(row.data(), count);
            ASSERT_TRUE(r.ok()) << "seed " << seed << " value " << read << ": " << ScanStatusText(r.status);
            EXPECT_EQ(r.position, stream.Position());
            for (std::size_t k = 0; k < count; ++k, ++read) {
                ASSERT_EQ(std::bit_cast<std::uint32_t>(float(row[k])),
                          std::bit_cast<std::uint32_t>(expected[read]))
                    << "seed " << seed << " mixed " << mixed << " value " << read;
            }
        }
        const ScanResult end = stream.Floats(row.data(), 1);
        EXPECT_EQ(end.status, ScanStatus::end_of_input);
        EXPECT_EQ(end.position, content.size());
    }
}

TEST_F(ScanStreamTest, FloatRowsStopAtTheFirstFailure) {
    ScanStream stream;
    ASSERT_TRUE(stream.Open(Write("bad_row.txt", "1.5 2.25\n-3 x7 8").c_str()));
    double row[5] = {-1, -1, -1, -1, -1};
    ScanResult r = stream.Floats(row, 5);
    EXPECT_EQ(r.status, ScanStatus::no_match);
    EXPECT_EQ(r.position, 12u);
    EXPECT_EQ(stream.Position(), 12u);
    EXPECT_EQ(row[0], 1.5);
    EXPECT_EQ(row[1], 2.25);
    EXPECT_EQ(row[2], -3.0);
    EXPECT_EQ(row[3], -1.0);  // untouched
    std::string word;
    EXPECT_TRUE(stream.Word(word, 10).ok());
    r = stream.Floats(row, 2);
    EXPECT_EQ(r.status, ScanStatus::end_of_input);
    EXPECT_EQ(r.position, 16u);
    EXPECT_EQ(row[0], 8.0);
}

TEST_F(ScanStreamTest, CrlfFileReadsLikeLf) {
    const std::string lf = "DSAA\n2 1\n0 1\n0 0\n0.5 1.5\n0.5 1.5\n";
    std::string crlf;
    for (char ch : lf) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    for (const std::string& content : {lf, crlf}) {
        ScanStream stream;
        ASSERT_TRUE(stream.Open(Write("crlf.txt", content).c_str()));
        std::string word;
        std::int32_t nx = 0, ny = 0;
        float v[8] = {};
        EXPECT_TRUE(stream.Word(word, 10).ok());
        EXPECT_EQ(word, "DSAA");
        EXPECT_TRUE(stream.Int(nx).ok());
        EXPECT_TRUE(stream.Int(ny).ok());
        for (float& x : v) EXPECT_TRUE(stream.Float(x).ok());
        EXPECT_EQ(nx, 2);
        EXPECT_EQ(ny, 1);
        EXPECT_EQ(v[7], 1.5f);
        EXPECT_EQ(stream.Float(v[0]).status, ScanStatus::end_of_input);
        EXPECT_EQ(stream.Position(), content.size());
    }
}

TEST_F(ScanStreamTest, EveryStatusWithItsPosition) {
    const std::string longNumber = "1" + std::string(5000, '0');
    const std::string content = "12 abc 99999999999 toolongword " + longNumber + " 2.5 ok \n\t ";
    ScanStream stream;
    ASSERT_TRUE(stream.Open(Write("statuses.txt", content).c_str()));
    std::int32_t i = -1;
    float f = -1;
    char word[8];

    ScanResult r = stream.Int(i);
    EXPECT_EQ(r.status, ScanStatus::ok);
    EXPECT_EQ(r.position, 0u);
    EXPECT_EQ(i, 12);

    r = stream.Float(f);
    EXPECT_EQ(r.status, ScanStatus::no_match);
    EXPECT_EQ(r.position, 3u);
    EXPECT_EQ(f, -1.0f);               // left unchanged
    EXPECT_EQ(stream.Position(), 3u);  // "%f" reads nothing of "abc"
    EXPECT_TRUE(stream.Word(word, sizeof word).ok());
    EXPECT_STREQ(word, "abc");

    r = stream.Int(i);
    EXPECT_EQ(r.status, ScanStatus::out_of_range);
    EXPECT_EQ(r.position, 7u);
    EXPECT_EQ(i, 12);

    r = stream.Word(word, sizeof word);
    EXPECT_EQ(r.status, ScanStatus::too_long);
    EXPECT_EQ(r.position, 19u);
    EXPECT_STREQ(word, "");
    EXPECT_EQ(stream.Position(), 19u + sizeof word);  // stopped at the first byte past the field
    std::string rest;
    EXPECT_TRUE(stream.Word(rest, 10).ok());
    EXPECT_EQ(rest, "ord");

    r = stream.Float(f);
    EXPECT_EQ(r.status, ScanStatus::too_long);
    EXPECT_EQ(r.position, 31u);
    EXPECT_EQ(stream.Position(), 31u);  // a number past its longest text is not walked further
    EXPECT_TRUE(stream.Word(rest, longNumber.size()).ok());

    EXPECT_TRUE(stream.Float(f).ok());
    EXPECT_EQ(f, 2.5f);
    std::string text;
    EXPECT_EQ(stream.Word(text, 1).status, ScanStatus::too_long);
    EXPECT_EQ(text, "");

    r = stream.Float(f);
    EXPECT_EQ(r.status, ScanStatus::end_of_input);
    EXPECT_EQ(r.position, content.size());
    EXPECT_STREQ(ScanStatusText(r.status), "unexpected end of file");
}

TEST_F(ScanStreamTest, WordsEndAtTheirLimitAndReadWholeAcrossTheBuffer) {
    const std::string huge(300000, 'w');
    ScanStream stream;
    ASSERT_TRUE(stream.Open(Write("huge.txt", "x " + huge + " 5").c_str()));
    std::string word;
    EXPECT_TRUE(stream.Word(word, 10).ok());
    EXPECT_EQ(stream.Word(word, 10).status, ScanStatus::too_long);
    EXPECT_EQ(stream.Position(), 2u + 11u);
    ASSERT_TRUE(stream.Open(Write("huge2.txt", huge).c_str()));
    EXPECT_TRUE(stream.Word(word, huge.size()).ok());
    EXPECT_EQ(word, huge);
}

TEST_F(ScanStreamTest, UnreadableInputIsAReadError) {
    ScanStream stream;
    float f = 0;
    EXPECT_EQ(stream.Float(f).status, ScanStatus::read_error);  // never opened
    // A directory opens on Linux but cannot be read.
    if (stream.Open((folder_ / ".").c_str())) {
        EXPECT_EQ(stream.Float(f).status, ScanStatus::read_error);
        std::string word;
        EXPECT_EQ(stream.Word(word, 10).status, ScanStatus::read_error);
    }
    EXPECT_FALSE(stream.Open((folder_ / "no_such_file").c_str()));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(ScanStreamTest, EmptyFileIsEndOfInput) {
    ScanStream stream;
    ASSERT_TRUE(stream.Open(Write("empty.txt", "").c_str()));
    std::int32_t i = 0;
    EXPECT_EQ(stream.Int(i).status, ScanStatus::end_of_input);
}

}  // namespace
}  // namespace quarnel
