#include <gtest/gtest.h>

#include "jobs/frame/quarnel.h"
#include "tests/prep/prep_files.h"

namespace quarnel::test {
namespace {

// Header of every normalised grid of cols x rows, as the normalisation writer lays it out.
std::string NormalizedHeader(const std::string& cols, const std::string& rows, const std::string& lastCol,
                             const std::string& lastRow) {
    return "DSAA\n" + cols + " " + rows + "\n0 " + lastCol + "\n0 " + lastRow + "\n  0.00    1.00\n";
}

class NormalizeTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir_ / name; }
    // Writes text to in.grd and normalises it to out.grd.
    int Run(const std::string& text) {
        WriteFile(Path("in.grd"), text);
        return OnDataNormalize(Path("in.grd").c_str(), Path("out.grd").c_str());
    }
    std::string Output() const { return ReadFile(Path("out.grd")); }
    bool OutputExists() const { return FileExists(Path("out.grd")); }

    TempFolder dir_;
};

// Text grids and the value rows they normalise to (after the header of their shape).
struct TextCase {
    const char* what;
    const char* input;
    std::string expected;
};

TEST_F(NormalizeTest, TextGridsAreRescaledToTheirOwnRange) {
    const TextCase cases[] = {
        {"range 10..30, blanks kept", "DSAA\n2 2\n5 6\n7 8\n1 2\n10 20\n30 99999\n",
         NormalizedHeader("2", "2", "1", "1") + "  0.00    0.50  \n  1.00  99999.00  \n"},
        // 99997.9 is a value (float 99997.8984375), so it is the top of the range.
        {"99998.5 is blank, 99997.9 is not", "DSAA 4 1 0 0 0 0 0 0  10 99998.5 20 99997.9\n",
         NormalizedHeader("4", "1", "3", "0") + "  0.00  99999.00    0.00    1.00  \n"},
        {"lower-case word", "dsaa\n3 1\n0 0\n0 0\n0 0\n-2 0 2\n",
         NormalizedHeader("3", "1", "2", "0") + "  0.00    0.50    1.00  \n"},
        {"constant data give zeros, not nan", "DSAA\n3 1\n0 0\n0 0\n0 0\n5 5 99999\n",
         NormalizedHeader("3", "1", "2", "0") + "  0.00    0.00  99999.00  \n"},
        {"all blank stays blank", "DSAA\n2 1\n0 0\n0 0\n0 0\n99999 99998.2\n",
         NormalizedHeader("2", "1", "1", "0") + "99999.00  99999.00  \n"},
        // 1/8 and 3/8 are exact binary ties: printf rounds them to even digits.
        {"ties round as printf does", "DSAA\n4 1\n0 0\n0 0\n0 0\n0 1 3 8\n",
         NormalizedHeader("4", "1", "3", "0") + "  0.00    0.12    0.38    1.00  \n"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(Run(c.input), 1);
        EXPECT_EQ(Output(), c.expected);
    }
}

TEST_F(NormalizeTest, BinaryGridIsTurnedOverAndRescaledByItsHeaderRange) {
    // Stored rows come last-first; the header says 10..20 although the data reach 0 and 30.
    WriteFile(Path("in.kvb"), KvbFileBytes(2, 2, {0, 30, 15, -9999}, 10, 20, -9999));
    ASSERT_EQ(OnDataNormalize(Path("in.kvb").c_str(), Path("out.grd").c_str()), 1);
    EXPECT_EQ(Output(), NormalizedHeader("2", "2", "1", "1") + "  0.50  -9999.00  \n -1.00    2.00  \n");
}

TEST_F(NormalizeTest, BinaryMagicInLowerCaseIsAccepted) {
    WriteFile(Path("in.kvb"), KvbFileBytes(1, 2, {1, 99999}, 0, 4, 99999, "kvsgdb01"));
    ASSERT_EQ(OnDataNormalize(Path("in.kvb").c_str(), Path("out.grd").c_str()), 1);
    EXPECT_EQ(Output(), NormalizedHeader("2", "1", "1", "0") + "  0.25  99999.00  \n");
}

TEST_F(NormalizeTest, BinaryGridWithEqualHeaderRangeIsWrittenAsZeros) {
    WriteFile(Path("in.kvb"), KvbFileBytes(1, 2, {3, 7}, 3, 3, 99999));
    ASSERT_EQ(OnDataNormalize(Path("in.kvb").c_str(), Path("out.grd").c_str()), 1);
    EXPECT_EQ(Output(), NormalizedHeader("2", "1", "1", "0") + "  0.00    0.00  \n");
}

TEST_F(NormalizeTest, ReadOnlyInputIsAcceptedAndLeftAlone) {
    const std::string text = "DSAA\n2 1\n0 0\n0 0\n0 0\n1 3\n";
    WriteFile(Path("in.grd"), text);
    const std::string in = Path("in.grd"), out = Path("out.grd");
    EXPECT_EQ(RunWithReadOnlyInput(in, [&] { return OnDataNormalize(in.c_str(), out.c_str()); }), 1);
    EXPECT_EQ(Output(), NormalizedHeader("2", "1", "1", "0") + "  0.00    1.00  \n");
    EXPECT_EQ(ReadFile(in), text);
}

TEST_F(NormalizeTest, ValuesWiderThanTheirFieldArePrintedWhole) {
    // Values this far outside 0..1 arise only through a binary header range.
    WriteFile(Path("in.kvb"), KvbFileBytes(1, 2, {-123456, 1234567}, 0, 1, 99999));
    ASSERT_EQ(OnDataNormalize(Path("in.kvb").c_str(), Path("out.grd").c_str()), 1);
    EXPECT_EQ(Output(), NormalizedHeader("2", "1", "1", "0") + "-123456.00  1234567.00  \n");
}

TEST_F(NormalizeTest, FailuresReturnZeroAndWriteNothing) {
    const char* bad[] = {
        "",                                           // empty
        "DSAB\n1 1\n0 0\n0 0\n0 0\n1\n",              // not a DSAA word
        "DSAA\n2 2\n0 0\n0 0\n0 0\n1 2 3\n",          // fewer values than the counts promise
        "DSAA\n2 1\n0 0\n0 0\n0 0\n1 abc\n",          // a value that does not parse
        "DSAA\n2 1\n0 0\n0 0\n0 x\n1 2\n",            // a header real that does not parse
        "DSAA\nx 1\n0 0\n0 0\n0 0\n1 2\n",            // a count that does not parse
        "DSAA\n0 1\n0 0\n0 0\n0 0\n",                 // no columns
        "DSAA\n-2 1\n0 0\n0 0\n0 0\n1 2\n",           // negative count
        "DSAA\n40000 40000\n0 0\n0 0\n0 0\n1 2 3\n",  // counts far beyond what the file holds
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Run(text), 0);
        EXPECT_FALSE(OutputExists());
    }
}

TEST_F(NormalizeTest, DamagedBinaryGridsReturnZeroAndWriteNothing) {
    const std::string bad[] = {
        KvbFileBytes(2, 2, {1, 2, 3}, 0, 1, 99999),           // one value short
        KvbFileBytes(0, 2, {}, 0, 1, 99999),                  // no rows
        KvbFileBytes(-1, 2, {1, 2}, 0, 1, 99999),             // negative count
        KvbFileBytes(60000, 60000, {1, 2}, 0, 1, 99999),      // counts far beyond the file
        KvbFileBytes(1, 1, {}, 0, 1, 99999).substr(0, 2000),  // header cut short
    };
    for (const std::string& bytes : bad) {
        WriteFile(Path("in.kvb"), bytes);
        EXPECT_EQ(OnDataNormalize(Path("in.kvb").c_str(), Path("out.grd").c_str()), 0);
        EXPECT_FALSE(OutputExists());
    }
}

TEST_F(NormalizeTest, MissingInputOrUncreatableOutputReturnsZero) {
    EXPECT_EQ(OnDataNormalize(Path("missing.grd").c_str(), Path("out.grd").c_str()), 0);
    EXPECT_FALSE(OutputExists());
    WriteFile(Path("in.grd"), "DSAA\n1 1\n0 0\n0 0\n0 0\n1\n");
    EXPECT_EQ(OnDataNormalize(Path("in.grd").c_str(), Path("no/such/dir/out.grd").c_str()), 0);
}

TEST_F(NormalizeTest, DispatcherKindsZeroAndOneGiveTheSameFile) {
    WriteFile(Path("in.grd"), "DSAA\n3 2\n0 0\n0 0\n0 0\n1.5 2.25 3\n99999 -4 7.125\n");
    ASSERT_EQ(OnDataNormalize2(Path("in.grd").c_str(), 0, Path("out0.grd").c_str()), 1);
    ASSERT_EQ(OnDataNormalize2(Path("in.grd").c_str(), 1, Path("out1.grd").c_str()), 1);
    EXPECT_EQ(ReadFile(Path("out0.grd")), NormalizedHeader("3", "2", "2", "1") +
                                              "  0.49    0.56    0.63  \n99999.00    0.00    1.00  \n");
    EXPECT_EQ(ReadFile(Path("out1.grd")), ReadFile(Path("out0.grd")));
}

TEST_F(NormalizeTest, DispatcherRejectsUnknownKindsWithoutTouchingFiles) {
    WriteFile(Path("in.grd"), "DSAA\n1 1\n0 0\n0 0\n0 0\n1\n");
    for (int kind : {3, -1, 1000}) {
        EXPECT_EQ(OnDataNormalize2(Path("in.grd").c_str(), kind, Path("out.grd").c_str()), -1);
        EXPECT_FALSE(OutputExists());
    }
}

TEST_F(NormalizeTest, DispatcherKindTwoDumpsAMultiGridFile) {
    // A file that is not a multi-grid file opens as nothing: no output, status 0.
    WriteFile(Path("in.grd"), "DSAA\n1 1\n0 0\n0 0\n0 0\n1\n");
    EXPECT_EQ(OnDataNormalize2(Path("in.grd").c_str(), 2, Path("out.grd").c_str()), 0);
    EXPECT_FALSE(OutputExists());
}

}  // namespace
}  // namespace quarnel::test
