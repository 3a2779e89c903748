// ScanFloatToken and ScanIntToken against glibc's fscanf on the same bytes: success, value
// (bit for bit) and how far the stream was read, also for failed conversions.
#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/grid/number_text.h"
#include "formats/grid/plain_decimal.h"

namespace quarnel {
namespace {

struct CScan {
    bool ok;
    std::uint32_t bits;  // float bits for "%f", the int for "%d"
    long consumed;
};

// What fscanf does with `text` as the whole content of a stream.
CScan CLibraryScan(const std::string& text, bool real) {
    std::string copy = text;
    std::FILE* f = fmemopen(copy.data(), copy.size(), "r");
    float value = 0;
    int integer = 0;
    const int r = real ? std::fscanf(f, "%f", &value) : std::fscanf(f, "%d", &integer);
    const long consumed = std::ftell(f);
    std::fclose(f);
    return {r == 1, real ? std::bit_cast<std::uint32_t>(value) : std::uint32_t(integer), consumed};
}

std::string Hex(const std::string& text) {
    std::string out;
    char byte[4];
    for (unsigned char c : text) {
        std::snprintf(byte, sizeof byte, "%02x", c);
        out += byte;
    }
    return out;
}

// Compares one text (a token at the start of the input) with glibc; returns true when equal.
bool SameAsFloatScanf(const std::string& text) {
    const CScan expected = CLibraryScan(text, true);
    const FloatToken got = ScanFloatToken(text.data(), text.data() + text.size());
    const long consumed = long(got.end - text.data());
    const bool ok = got.error == NumberError::none;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(got.value);
    const bool same = ok == expected.ok && consumed == expected.consumed && (!ok || bits == expected.bits);
    EXPECT_TRUE(same) << "text \"" << text << "\" (hex " << Hex(text) << "): glibc ok=" << expected.ok
                      << " bits=0x" << std::hex << expected.bits << std::dec
                      << " consumed=" << expected.consumed << "; ours ok=" << ok << " bits=0x" << std::hex
                      << bits << std::dec << " consumed=" << consumed;
    return same;
}

bool SameAsIntScanf(const std::string& text) {
    const CScan expected = CLibraryScan(text, false);
    const IntToken got = ScanIntToken(text.data(), text.data() + text.size());
    const long consumed = long(got.end - text.data());
    // glibc stores a wrapped value for integers beyond 32 bits; ours says out_of_range.
    const long long wide = std::strtoll(text.c_str(), nullptr, 10);
    const bool fits = wide >= INT32_MIN && wide <= INT32_MAX;
    bool same = consumed == expected.consumed;
    if (got.error == NumberError::none)
        same = same && expected.ok && fits && std::uint32_t(got.value) == expected.bits;
    if (got.error == NumberError::no_match) same = same && !expected.ok;
    if (got.error == NumberError::out_of_range) same = same && expected.ok && !fits;
    EXPECT_TRUE(same) << "text \"" << text << "\": glibc ok=" << expected.ok
                      << " value=" << int(expected.bits) << " consumed=" << expected.consumed
                      << "; ours error=" << int(got.error) << " value=" << got.value
                      << " consumed=" << consumed;
    return same;
}

// Each tricky token alone, followed by a blank and more text, and cut off by the end of input.
void CheckTrickyFloat(const std::string& token) {
    SameAsFloatScanf(token);
    SameAsFloatScanf(token + " 7");
    SameAsFloatScanf(token + "\n");
    SameAsFloatScanf(token + "x");
}

TEST(ScanFloatToken, TrickyTokensMatchScanf) {
    const char* tokens[] = {
        "0",
        "-0",
        "+0",
        "1",
        "-1",
        "+1",
        "1.5",
        ".5",
        "5.",
        "-.5",
        "+.5",
        "1e5",
        "1E5",
        "1e+5",
        "1e-5",
        "1e",
        "1e+",
        "1e-",
        "1e+-5",
        "1e5+",
        "1e5e",
        "1.2.3",
        "1..",
        "e5",
        ".e5",
        "1.e5",
        ".",
        "-.",
        "-",
        "+",
        "+-1",
        "--1",
        "0x",
        "0X",
        "0x.",
        "0xg",
        "0x1p",
        "0x1p+",
        "0x1.8p1",
        "0x1.8",
        "0x1P3",
        "0xp1",
        "0x.p1",
        "0x1e5",
        "0xABCp-2x",
        "0x1.",
        "0x1.p",
        "00x1",
        "0x+1",
        "-0x",
        "-0x.",
        "0x.8",
        "0x1p-149",
        "0x1p-150",
        "0x1.fffffep127",
        "0x1.ffffffp127",
        "0x1p128",
        "0x1.000001p0",
        "0x1.0000008p0",
        "0x1.00000080001p0",
        "inf",
        "INF",
        "Inf",
        "infinity",
        "INFINITY",
        "iNfInItY",
        "infx",
        "infi",
        "infin",
        "infinit",
        "infinite",
        "infinityx",
        "-inf",
        "+inf",
        "-infinity",
        "i",
        "in",
        "-i",
        "n",
        "na",
        "nan",
        "NaN",
        "NAN",
        "-nan",
        "+nan",
        "nan(",
        "nan()",
        "nan(abc)",
        "NaN(123)",
        "nanx",
        "1e400",
        "-1e400",
        "1e-50",
        "-1e-50",
        "1e-45",
        "7e-46",
        "7.1e-46",
        "3.4028235e38",
        "3.4028236e38",
        "3.40282356e38",
        "3.40282357e38",
        "340282356779733661637539395458142568448",
        "340282356779733661637539395458142568447",
        "1.17549435e-38",
        "1.1754942e-38",
        "1.4e-45",
        "2.1e-45",
        "1e99999999999999999999",
        "1e-99999999999999999999",
        "0x1p99999999999999999",
        "0.0000000000000000000000000000000000000000000000000000001e55",
        "00000.1",
        "1,5",
        "1_",
        "1.5abc",
        "99999",
        "99999.00",
        "-99999.000000",
        "0.1",
        "0.2",
        "0.3",
        "16777217",
        "16777216.5",
        "16777218.999999999999",
        "33554435",
        "2.675",
        "0.125",
        "1e22",
        "1e23",
        "1.00000005960464477539062499",
        "1.000000059604644775390625",
        "1.00000005960464477539062501",
        "0.000000000000000000000000000000000000000000001401298464324817070923729583",
        "0."
        "0000000000000000000000000000000000000000000007006492321624085354618647916449580656401309709382578858"
        "785"
        "34141944895541342930300743319094181060791015625",
        "0."
        "0000000000000000000000000000000000000000000007006492321624085354618647916449580656401309709382578858"
        "785"
        "34141944895541342930300743319094181060791015626",
    };
    for (const char* token : tokens) CheckTrickyFloat(token);
}

TEST(ScanFloatToken, RandomFloatTextsMatchScanf) {
    const unsigned seed = 20240611;
    std::mt19937_64 random(seed);
    const char* formats[] = {"%.9g", "%.6f", "%.2f", "%e", "%.12e", "%a", "%.3g", "%.20g"};
    char text[512];
    for (int i = 0; i < 40000; ++i) {
        const float value = std::bit_cast<float>(std::uint32_t(random()));
        if (std::isnan(value)) continue;
        const char* format = formats[i % std::size(formats)];
        std::snprintf(text, sizeof text, format, double(value));
        if (!SameAsFloatScanf(text)) {
            ADD_FAILURE() << "seed " << seed << " value bits 0x" << std::hex
                          << std::bit_cast<std::uint32_t>(value);
            return;
        }
    }
}

TEST(ScanFloatToken, HalfwayPointsBetweenFloatsMatchScanf) {
    const unsigned seed = 77;
    std::mt19937 random(seed);
    char text[1200];
    for (int i = 0; i < 20000; ++i) {
        // Keep below FLT_MAX's exponent so the neighbour is finite; denormals included.
        const std::uint32_t bits = std::uint32_t(random()) % 0x7F7FFFFFu;
        const double low = std::bit_cast<float>(bits);
        const double high = std::bit_cast<float>(bits + 1);
        const double mid = low + (high - low) / 2;  // exact in double
        std::snprintf(text, sizeof text, "%.1100f", mid);
        std::string exact = text;
        exact.erase(exact.find_last_not_of('0') + 1);
        if (exact.back() == '.') exact.pop_back();
        // The exact tie, just above it and, when the last digit allows, just below it.
        std::string below = exact;
        if (below.back() > '0') {
            below.back() = char(below.back() - 1);
            below += "99999999";
        }
        const bool ok = SameAsFloatScanf(exact) &&
                        SameAsFloatScanf(exact + (exact.find('.') == std::string::npos ? ".1" : "1")) &&
                        SameAsFloatScanf(below);
        if (!ok) {
            ADD_FAILURE() << "seed " << seed << " float bits 0x" << std::hex << bits;
            return;
        }
    }
}

TEST(ScanFloatToken, RandomDecimalsOfManyMagnitudesMatchScanf) {
    const unsigned seed = 4242;
    std::mt19937 random(seed);
    for (int i = 0; i < 30000; ++i) {
        std::string text;
        if (random() % 4 == 0) text += random() % 2 ? "-" : "+";
        const int digits = 1 + int(random() % 25);
        const int point = int(random() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += char('0' + random() % 10);
        }
        if (random() % 2) {
            text += random() % 2 ? 'e' : 'E';
            text += std::to_string(int(random() % 100) - 60);
        }
        if (!SameAsFloatScanf(text)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

TEST(ScanFloatToken, RandomHexadecimalsMatchScanf) {
    const unsigned seed = 99;
    std::mt19937 random(seed);
    const char hexDigits[] = "0123456789abcdefABCDEF";
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 3 ? "0x" : "-0X";
        const int digits = 1 + int(random() % 20);
        const int point = int(random() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point) text += '.';
            text += hexDigits[random() % 22];
        }
        if (random() % 3) {
            text += 'p';
            text += std::to_string(int(random() % 340) - 220);
        }
        if (!SameAsFloatScanf(text)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

// Short strings over the bytes the grammar cares about, to reach its corners.
TEST(ScanFloatToken, RandomGrammarFragmentsMatchScanf) {
    const unsigned seed = 12345;
    std::mt19937 random(seed);
    const char alphabet[] = "0123456789+-.eEpPxXabcdfinINFtyAY()_ \n";
    for (int i = 0; i < 60000; ++i) {
        std::string text;
        // fscanf would skip leading blanks first; the token reader starts at a non-blank byte.
        text += alphabet[random() % (sizeof alphabet - 3)];
        const int length = int(random() % 10);
        for (int k = 0; k < length; ++k) text += alphabet[random() % (sizeof alphabet - 1)];
        if (!SameAsFloatScanf(text)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

// Plain decimals (sign, digits, one point) take a short way. Each edge of it alone, before the
// bytes that end or continue a number, and with text enough behind it for the reading of eight
// bytes at a time.
TEST(ScanFloatToken, PlainDecimalEdgesMatchScanf) {
    const char* tokens[] = {
        "16777216", "16777217", "16777218", "16777219", "1677721.7", "1677721.75", "0.16777217", "33554433",
        "9007199254740992", "9007199254740993", "9007199254740994", "900719925474099.3", "900719925474099.5",
        "0.9007199254740993", "1234567890123456789", "12345678901234567890", "0.1234567890123456789",
        ".1234567890123456789", "0.12345678901234567890", "1234567890.123456789", "00000000000000000001",
        "0000000000000000001.5", "10000000000", "1000000000.0", "0.0000000001", "0.00000000001", "2500.0000",
        "1.500000000000000000", "99999.000", "100", "0.10", "-0.0", "-0", "+0.0", "-0.", "-.0", "0.", ".0",
        "1234567", "12345678", "123456789", "1234567.1234567", "1234567.12345678", "12345678.5", "1.12345678",
        "0.1234567", ".12345678", "2492.2255", "-2492.2255", "+2492.2255",
        // 16 digits whose nearest double lies exactly halfway between two floats, the decimal
        // itself above or below that point.
        "32.61575508117676", "497.5195770263672", "121.3054313659668", "-13.30028772354126",
        "35.43471336364746", "5.207262277603149", "19.70732021331787",
        // The same beyond 2^53, where the digits no longer make an exact double.
        "1.0000000596046448", "1.0000000596046447", "16777217.000000001", "16777216.999999999"};
    const char* after[] = {"",
                           " 7",
                           "\n",
                           "\t1",
                           "x",
                           "e5",
                           "E-5",
                           ".5",
                           "-1",
                           "+1",
                           "a",
                           ",",
                           "/5",
                           ":5",
                           "\xb9",
                           "\xb0",
                           " 1234567890123456789"};
    for (const char* token : tokens) {
        for (const char* tail : after) {
            const std::string text = std::string(token) + tail;
            if (!SameAsFloatScanf(text) || !SameAsFloatScanf(text + " 1234567890123456789")) return;
        }
    }
}

// Decimals of 16 to 19 digits next to the halfway points between floats: their doubles often
// are those halfway points, where rounding the double again would go the wrong way.
TEST(ScanFloatToken, DecimalsNearHalfwayPointsMatchScanf) {
    const unsigned seed = 2024;
    std::mt19937 random(seed);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        // Floats from 1 to 2^24, where such decimals need no exponent.
        const std::uint32_t bits = 0x3F800000u + std::uint32_t(random()) % (0x4B800000u - 0x3F800000u);
        const double low = std::bit_cast<float>(bits);
        const double mid = low + (double(std::bit_cast<float>(bits + 1)) - low) / 2;
        const int wholeDigits = int(std::floor(std::log10(mid))) + 1;
        for (int digits = 16; digits <= 19; ++digits) {
            std::snprintf(text, sizeof text, "%.*f", digits - wholeDigits, mid);
            if (!SameAsFloatScanf(text) || !SameAsFloatScanf(std::string(text) + " 25.5 1234567890")) {
                ADD_FAILURE() << "seed " << seed << " float bits 0x" << std::hex << bits;
                return;
            }
        }
    }
}

// The 32-bit build counts trailing zeros of the plain-decimal path's words by halves.
TEST(LowestSetBitByHalves, GivesWhatTheSixtyFourBitCountGives) {
    std::mt19937_64 random(64);
    for (int k = 0; k < 64; ++k) {
        const std::uint64_t bit = std::uint64_t(1) << k;
        for (const std::uint64_t above : {std::uint64_t(0), ~std::uint64_t(0), std::uint64_t(random())}) {
            const std::uint64_t word = bit | (k < 63 ? above << (k + 1) : 0);
            EXPECT_EQ(plain_decimal_detail::LowestSetBitByHalves(word), std::countr_zero(word))
                << std::hex << word;
        }
    }
}

// And takes runs of up to four digits in 32-bit arithmetic: every run, whatever bytes follow it.
TEST(ShortRunValue, GivesWhatTheSixtyFourBitRunValueGives) {
    std::mt19937 random(4);
    for (int n = 1; n <= 4; ++n) {
        for (int value = 0; value < 10000; ++value) {
            char bytes[8];
            for (char& b : bytes) b = char(random() % 256);
            for (int k = n - 1, rest = value; k >= 0; --k, rest /= 10) bytes[k] = char('0' + rest % 10);
            if (bytes[n] >= '0' && bytes[n] <= '9') bytes[n] = ' ';
            const std::uint64_t word = plain_decimal_detail::Load8(bytes);
            ASSERT_EQ(plain_decimal_detail::ShortRunValue(std::uint32_t(word), n),
                      plain_decimal_detail::RunValue(word, n))
                << std::string(bytes, 8);
            if (n < 4 && value >= 1000) break;
        }
    }
}

// And converts the digits of a plain decimal to double from 32-bit halves.
TEST(ExactDoubleByHalves, GivesTheDigitsExactly) {
    std::mt19937_64 random(53);
    std::vector<std::uint64_t> values = {0,
                                         1,
                                         0x7FFFFFFF,
                                         0x80000000,
                                         0xFFFFFFFF,
                                         0x100000000,
                                         (std::uint64_t(1) << 53) - 1,
                                         std::uint64_t(1) << 53};
    for (int i = 0; i < 100000; ++i) values.push_back(random() >> (11 + i % 53));
    for (const std::uint64_t m : values)
        EXPECT_EQ(plain_decimal_detail::ExactDoubleByHalves(m), double(m)) << m;
}

TEST(ScanFloatToken, EmptyTextIsNoMatch) {
    const char* text = "";
    const FloatToken token = ScanFloatToken(text, text);
    EXPECT_EQ(token.error, NumberError::no_match);
    EXPECT_EQ(token.end, text);
}

TEST(ScanIntToken, TrickyTokensMatchScanf) {
    const char* tokens[] = {"0",
                            "-0",
                            "+0",
                            "7",
                            "-7",
                            "+",
                            "-",
                            "12abc",
                            "1.5",
                            "0x10",
                            "+-1",
                            "007",
                            "2147483647",
                            "2147483648",
                            "-2147483648",
                            "-2147483649",
                            "4294967296",
                            "4294967297",
                            "-4294967295",
                            "99999999999",
                            "a",
                            "-a",
                            "00000000000000000000042",
                            "18446744073709551617",
                            "-99999999999999999999999"};
    for (const char* token : tokens) {
        SameAsIntScanf(token);
        SameAsIntScanf(std::string(token) + " 5");
    }
}

TEST(ScanIntToken, RandomIntegersAndFragmentsMatchScanf) {
    const unsigned seed = 31337;
    std::mt19937_64 random(seed);
    for (int i = 0; i < 30000; ++i) {
        const int shift = int(random() % 40);
        const long long value = (long long)(random() >> (24 + shift)) * (random() % 2 ? 1 : -1);
        if (!SameAsIntScanf(std::to_string(value))) {
            ADD_FAILURE() << "seed " << seed << " value " << value;
            return;
        }
    }
    const char alphabet[] = "0123456789+-x. ";
    for (int i = 0; i < 20000; ++i) {
        std::string text(1, alphabet[random() % 13]);
        const int length = int(random() % 8);
        for (int k = 0; k < length; ++k) text += alphabet[random() % (sizeof alphabet - 1)];
        if (!SameAsIntScanf(text)) {
            ADD_FAILURE() << "seed " << seed << " iteration " << i;
            return;
        }
    }
}

}  // namespace
}  // namespace quarnel
