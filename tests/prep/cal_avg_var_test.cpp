#include <gtest/gtest.h>

#include "jobs/frame/quarnel.h"
#include "tests/prep/prep_files.h"

namespace quarnel::test {
namespace {

// Header of both result grids for outCols x outRows windows.
std::string StatsHeader(const std::string& outCols, const std::string& outRows, const std::string& lastCol,
                        const std::string& lastRow) {
    return "DSAA\n" + outCols + " " + outRows + "\n0.000000 " + lastCol + "\n0.000000 " + lastRow +
           "\n0.000000 1.000000\n";
}

class CalAvgVarTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir_ / name; }
    int RunOn(const std::string& input, int w) {
        return OnCalAvgVar(input.c_str(), Path("mean.grd").c_str(), Path("std.grd").c_str(), w);
    }
    // Writes text to in.grd and runs the job with window size w.
    int Run(const std::string& text, int w) {
        WriteFile(Path("in.grd"), text);
        return RunOn(Path("in.grd"), w);
    }
    std::string Mean() const { return ReadFile(Path("mean.grd")); }
    std::string Std() const { return ReadFile(Path("std.grd")); }
    bool NoOutput() const { return !FileExists(Path("mean.grd")) && !FileExists(Path("std.grd")); }

    TempFolder dir_;
};

TEST_F(CalAvgVarTest, IncompleteEdgeWindowsAreDropped) {
    // 7 rows x 8 columns, w = 3: the last row and the last two columns (1000) lie outside every window.
    std::string text = "DSAA\n8 7\n0 7\n0 6\n0 1000\n";
    for (int r = 0; r < 7; ++r) {
        for (int c = 0; c < 8; ++c) text += std::to_string(r == 6 || c >= 6 ? 1000 : r * 8 + c) + " ";
        text += "\n";
    }
    ASSERT_EQ(Run(text, 3), 1);
    // Means 9, 12, 33, 36; every window has the same deviation.
    EXPECT_EQ(Mean(), StatsHeader("2", "2", "1.000000", "1.000000") + "  0.00    0.11  \n  0.89    1.00  \n");
    EXPECT_EQ(Std(), StatsHeader("2", "2", "1.000000", "1.000000") + "  0.00    0.00  \n  0.00    0.00  \n");
}

TEST_F(CalAvgVarTest, TwoByTwoWindowsUsePopulationDeviationAndBlankThreshold) {
    // Windows: 1 2 3 4 (mean 2.5, deviation 1.118); zeros; 10 and 20 beside two blanks (mean 15,
    // deviation 5 with divisor 2); three blanks beside 7 (a blank window).
    ASSERT_EQ(Run("DSAA\n8 2\n0 0\n0 0\n0 0\n"
                  "1 2 0 0 10 99999 99999 99999\n"
                  "3 4 0 0 99999 20 99999 7\n",
                  2),
              1);
    const std::string header = StatsHeader("4", "1", "3.000000", "0.000000");
    // 2.5 / 15 = 0.167; 1.118 / 5 = 0.224 (divisor N - 1 would give 0.18).
    EXPECT_EQ(Mean(), header + "  0.17    0.00    1.00  99999.00  \n");
    EXPECT_EQ(Std(), header + "  0.22    0.00    1.00  99999.00  \n");
}

TEST_F(CalAvgVarTest, ThreeByThreeWindowsAllowFourBlanksButNotFive) {
    const char* B = "99999";
    std::string text = "DSAA\n12 3\n0 0\n0 0\n0 0\n";
    text += std::string("1 2 3 100 100 100 0 0 0 5 5 5\n");
    text += std::string("4 5 ") + B + " 100 " + B + " " + B + " 0 0 0 5 5 5\n";
    text += std::string(B) + " " + B + " " + B + " " + B + " " + B + " " + B + " 0 0 9 5 5 5\n";
    ASSERT_EQ(Run(text, 3), 1);
    // Means 3, blank, 1, 5; deviations sqrt(2), blank, sqrt(8), 0.
    const std::string header = StatsHeader("4", "1", "3.000000", "0.000000");
    EXPECT_EQ(Mean(), header + "  0.50  99999.00    0.00    1.00  \n");
    EXPECT_EQ(Std(), header + "  0.50  99999.00    1.00    0.00  \n");
}

TEST_F(CalAvgVarTest, HeadersCountWindowsNotCells) {
    // 5 x 7 cells, w = 2: 2 rows and 3 columns of windows.
    std::string text = "DSAA\n7 5\n0 0\n0 0\n0 0\n";
    for (int r = 0; r < 5; ++r) text += std::to_string(r) + " 1 2 3 4 5 6\n";
    ASSERT_EQ(Run(text, 2), 1);
    const std::string header = StatsHeader("3", "2", "2.000000", "1.000000");
    // Window means: rows 0-1 give 0.75, 2.5, 4.5; rows 2-3 give 1.75, 2.5, 4.5; the last row is unused.
    EXPECT_EQ(Mean(), header + "  0.00    0.47    1.00  \n  0.27    0.47    1.00  \n");
    EXPECT_EQ(Std().substr(0, header.size()), header);
}

TEST_F(CalAvgVarTest, WindowOfOneGivesEveryCellAndZeroDeviations) {
    ASSERT_EQ(Run("DSAA\n2 2\n0 0\n0 0\n0 0\n1 2\n99999 3\n", 1), 1);
    const std::string header = StatsHeader("2", "2", "1.000000", "1.000000");
    EXPECT_EQ(Mean(), header + "  0.00    0.50  \n99999.00    1.00  \n");
    EXPECT_EQ(Std(), header + "  0.00    0.00  \n99999.00    0.00  \n");
}

TEST_F(CalAvgVarTest, LowerCaseWordAndBlankTolerance) {
    ASSERT_EQ(Run("dsaa\n3 1\n0 0\n0 0\n0 0\n0 99998.5 99997.9\n", 1), 1);
    EXPECT_EQ(Mean(), StatsHeader("3", "1", "2.000000", "0.000000") + "  0.00  99999.00    1.00  \n");
}

TEST_F(CalAvgVarTest, BinaryGridIsTurnedOverAndUsesItsBlankValue) {
    // Working rows: 1 2 / -1 3 with blank -1; stored last row first.
    WriteFile(Path("in.kvb"), KvbFileBytes(2, 2, {-1, 3, 1, 2}, 0, 0, -1));
    ASSERT_EQ(RunOn(Path("in.kvb"), 1), 1);
    const std::string header = StatsHeader("2", "2", "1.000000", "1.000000");
    EXPECT_EQ(Mean(), header + "  0.00    0.50  \n -1.00    1.00  \n");
    EXPECT_EQ(Std(), header + "  0.00    0.00  \n -1.00    0.00  \n");
}

TEST_F(CalAvgVarTest, ReadOnlyInputIsAccepted) {
    WriteFile(Path("in.grd"), "DSAA\n2 1\n0 0\n0 0\n0 0\n1 3\n");
    const std::string in = Path("in.grd");
    EXPECT_EQ(RunWithReadOnlyInput(in, [&] { return RunOn(in, 1); }), 1);
    EXPECT_EQ(Mean(), StatsHeader("2", "1", "1.000000", "0.000000") + "  0.00    1.00  \n");
}

TEST_F(CalAvgVarTest, WindowSizeBelowOneOrAboveTheGridCreatesNoFile) {
    WriteFile(Path("in.grd"), "DSAA\n3 2\n0 0\n0 0\n0 0\n1 2 3\n4 5 6\n");
    for (int w : {0, -1, 3, 1 << 30}) {
        SCOPED_TRACE(w);
        EXPECT_EQ(RunOn(Path("in.grd"), w), 0);
        EXPECT_TRUE(NoOutput());
    }
}

TEST_F(CalAvgVarTest, BadInputsReturnZeroAndWriteNothing) {
    const char* bad[] = {
        "",
        "DSAB\n1 1\n0 0\n0 0\n0 0\n1\n",
        "DSAA\n2 2\n0 0\n0 0\n0 0\n1 2 3\n",
        "DSAA\n2 1\n0 0\n0 0\n0 0\n1 -\n",
        "DSAA\n40000 40000\n0 0\n0 0\n0 0\n1\n",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Run(text, 1), 0);
        EXPECT_TRUE(NoOutput());
    }
    WriteFile(Path("in.kvb"), KvbFileBytes(2, 2, {1, 2, 3}, 0, 1, 99999));
    EXPECT_EQ(RunOn(Path("in.kvb"), 1), 0);
    EXPECT_TRUE(NoOutput());
    EXPECT_EQ(RunOn(Path("missing.grd"), 1), 0);
    EXPECT_TRUE(NoOutput());
}

TEST_F(CalAvgVarTest, UncreatableOutputs) {
    WriteFile(Path("in.grd"), "DSAA\n1 1\n0 0\n0 0\n0 0\n1\n");
    const std::string in = Path("in.grd");
    EXPECT_EQ(OnCalAvgVar(in.c_str(), Path("no/mean.grd").c_str(), Path("std.grd").c_str(), 1), 0);
    EXPECT_FALSE(FileExists(Path("std.grd")));
    // Neither grid is put in place unless both can be: an earlier mean grid stays as it was.
    WriteFile(Path("mean.grd"), "an earlier mean grid");
    EXPECT_EQ(OnCalAvgVar(in.c_str(), Path("mean.grd").c_str(), Path("no/std.grd").c_str(), 1), 0);
    EXPECT_EQ(Mean(), "an earlier mean grid");
}

}  // namespace
}  // namespace quarnel::test
