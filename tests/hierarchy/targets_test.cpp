// The three target operations end to end: anomaly ranking (target 0), irregular-grid forecast
// (target 2) and regular-grid prediction (target 1), with their whole reports (golden files)
// and outputs.
// Scores are total weights times values: geology A 37.5, B 12.5 and geophysics C 25, D 25 for
// the table targets; geology A 37.5, B 12.5 and geochemistry Cu 50 for the grid target.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "jobs/hierarchy/decompos_run.h"
#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {
namespace {

const char* const kAnomalyTable =
    "AnmLvl 4 5\n"
    "AnomalyNo A B C D\n"
    "AN1 1 0 0 0\n"
    "AN2 0 1 1 0\n"
    "AN3 0 0 0 2\n"
    "AnomalyName_with_25_chars 1 1 1 1\n"
    "AN5 0.5 0 0 0\n";

// The table is named by the second geophysics element's file field.
std::string TableParams(const TempFolder& dir, int target, const std::string& tablePath) {
    return ParameterText(target,
                         {{{1, "1", {{"A", "3", "a.grd"}, {"B", "1", "b.grd"}}},
                           {1, "1", {{"C", "1", "c.grd"}, {"D", "1", tablePath}}},
                           {0, "", {}},
                           {0, "", {}}}},
                         dir / "forecast.txt", dir / "report.txt");
}

int RunParams(const TempFolder& dir, const std::string& params) {
    return qelDecompos(dir.Write("params.txt", params).c_str());
}

TEST(RankAnomalies, WholeReport) {
    TempFolder dir;
    const std::string table = dir.Write("anomalies.txt", kAnomalyTable);
    EXPECT_EQ(RunParams(dir, TableParams(dir, 0, table)), 0);
    testkit::ExpectGolden(ReadFile(dir / "report.txt"), "hierarchy/target0-rank-anomalies.txt");
    EXPECT_FALSE(FileExists(dir / "forecast.txt")) << "target 0 writes only the report";
}

// The job's ranking as data: "name score rank" per row, best first.
std::vector<std::string> RankingOf(const char* scores) {
    TempFolder dir;
    const std::string table = dir.Write("anomalies.txt", std::string("AnmLvl 4 3 No A B C D\n") + scores);
    const DecomposRun run = RunDecompos(dir.Write("params.txt", TableParams(dir, 0, table)).c_str());
    EXPECT_EQ(run.status, 0);
    std::vector<std::string> rows;
    for (const RankedRow& row : run.ranking) {
        char line[64];
        std::snprintf(line, sizeof line, "%s %.2f %d", row.name.c_str(), double(row.score), row.rank);
        rows.emplace_back(line);
    }
    return rows;
}

// The selection sort takes a later row only with a strictly greater score and exchanges the
// maximum into place, which decides the order of equal scores.
TEST(RankAnomalies, TiesFollowTheExchangeOrder) {
    using Rows = std::vector<std::string>;
    EXPECT_EQ(RankingOf("R1 0 0 0 0.2\nR2 0 0 0 0.2\nR3 0 0 0 0.28\n"),
              (Rows{"R3 7.00 1", "R2 5.00 2", "R1 5.00 3"}));
    EXPECT_EQ(RankingOf("R1 0 0 0 0.28\nR2 0 0 0 0.2\nR3 0 0 0 0.2\n"),
              (Rows{"R1 7.00 1", "R2 5.00 2", "R3 5.00 3"}));
}

TEST(PredictIrregularGrid, WholeReportAndForecast) {
    TempFolder dir;
    std::string table = kAnomalyTable;
    table.replace(table.find("AnomalyNo"), 9, "PointNo");
    const std::string tablePath = dir.Write("points.txt", table);
    EXPECT_EQ(RunParams(dir, TableParams(dir, 2, tablePath)), 0);
    testkit::ExpectGolden(ReadFile(dir / "report.txt"), "hierarchy/target2-irregular-grid.txt");
    EXPECT_EQ(ReadFile(dir / "forecast.txt"),
              "非规则网找矿远景预测\n"
              "   5\n"
              "\t\t非规则网号       预测值\n"
              "                      AN1         37.50\n"
              "                      AN2         37.50\n"
              "                      AN3         50.00\n"
              "      AnomalyName_with_25        100.00\n"
              "                      AN5         18.75\n");
}

// Every cell is blank where any grid holds the blank value of the grid opened last (99999),
// whatever the earlier grids' own blank values; the output carries the last grid's header.
TEST(PredictRegularGrid, WholeReportAndGrid) {
    TempFolder dir;
    const std::string a = dir.Write("a.txt", "KVSGDA01 2 3 1 2 3 4 5 6 -1\n1 0 2\n99999 1 0\n");
    const std::string b = dir.Write("b.txt", "KVSGDA01 2 3 7 8 9 10 11 12 -2\n0 4 1\n1 1 99999\n");
    const std::string cu = dir.Write("cu.txt",
                                     "KVSGDA01\n2 3 600761.8 725761.8\n-2508991.0 -2260991.0 1.0 2.0\n99999\n"
                                     "2 1 -1\n0.5 99999 0\n");
    const std::string params = ParameterText(
        1,
        {{{1, "1", {{"A", "3", a}, {"B", "1", b}}}, {0, "", {}}, {1, "1", {{"Cu", "1", cu}}}, {0, "", {}}}},
        dir / "prediction.txt", dir / "report.txt");
    EXPECT_EQ(RunParams(dir, params), 0);
    testkit::ExpectGolden(ReadFile(dir / "report.txt"), "hierarchy/target1-regular-grid.txt");
    EXPECT_EQ(ReadFile(dir / "prediction.txt"),
              "KVSGDA01\n"
              "           2           3 600761.81  725761.81\n"
              "-2508991.00 -2260991.00       1.00       2.00\n"
              "  99999.00\n"
              "  137.50  100.00   37.50\n"
              "99999.00 99999.00 99999.00\n");
}

// One level of equally important element grids sharing the header "rows cols 0 1 0 1 0 1";
// each body starts with the grid's blank value.
std::string PredictionOf(const std::string& rowsAndCols, const std::vector<std::string>& gridBodies) {
    TempFolder dir;
    std::vector<ElementEntry> elements;
    for (std::size_t i = 0; i < gridBodies.size(); ++i) {
        std::string name = "E";
        name += static_cast<char>('0' + i);
        std::string text = "KVSGDA01 ";
        text += rowsAndCols;
        text += " 0 1 0 1 0 1\n";
        text += gridBodies[i];
        elements.push_back({name, "1", dir.Write(name + ".txt", text)});
    }
    const std::string params = ParameterText(1, {{{1, "1", elements}, {0, "", {}}, {0, "", {}}, {0, "", {}}}},
                                             dir / "prediction.txt", dir / "report.txt");
    EXPECT_EQ(RunParams(dir, params), 0);
    return ReadFile(dir / "prediction.txt");
}

// Two equally weighted grids (50 each), blank value 50: a partial sum of 50 is no blank.
TEST(PredictRegularGrid, PartialSumEqualToBlankValueIsNoBlank) {
    EXPECT_EQ(PredictionOf("2 2", {"50 1 50 2 1\n", "50 1 3 50 3\n"}),
              "KVSGDA01\n"
              "           2           2      0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n"
              "     50.00\n"
              "  100.00   50.00\n"
              "   50.00  200.00\n");
}

// Blank value 0: only cells where a grid holds 0 are blank, not every cell.
TEST(PredictRegularGrid, BlankValueZero) {
    EXPECT_EQ(PredictionOf("2 2", {"0 1 0 2 3\n", "0 1 2 0 -3\n"}),
              "KVSGDA01\n"
              "           2           2      0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n"
              "      0.00\n"
              "  100.00    0.00\n"
              "    0.00    0.00\n");
}

std::string Hundredths(int cols) {
    std::string row;
    for (int c = 1; c <= cols; ++c) {
        const char value[] = {'0', '.', static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10),
                              ' ', '\0'};
        row += value;
    }
    return row + "\n";
}

TEST(PredictRegularGrid, TwentyFiveColumnsMakeLinesOfTenTenAndFive) {
    const std::string ten =
        "    1.00    2.00    3.00    4.00    5.00    6.00    7.00    8.00    9.00   10.00\n"
        "   11.00   12.00   13.00   14.00   15.00   16.00   17.00   18.00   19.00   20.00\n";
    const std::string row = ten + "   21.00   22.00   23.00   24.00   25.00\n";
    EXPECT_EQ(PredictionOf("2 25", {"99999\n" + Hundredths(25) + Hundredths(25)}),
              "KVSGDA01\n"
              "           2          25      0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n"
              "  99999.00\n" +
                  row + row);
}

TEST(PredictRegularGrid, TwentyColumnsEndEachRowWithAnEmptyLine) {
    const std::string row =
        "    1.00    2.00    3.00    4.00    5.00    6.00    7.00    8.00    9.00   10.00\n"
        "   11.00   12.00   13.00   14.00   15.00   16.00   17.00   18.00   19.00   20.00\n"
        "\n";
    EXPECT_EQ(PredictionOf("2 20", {"99999\n" + Hundredths(20) + Hundredths(20)}),
              "KVSGDA01\n"
              "           2          20      0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n"
              "  99999.00\n" +
                  row + row);
}

// A blank value of 99999 and a score of 10000 fill their 8-character fields; the house rule
// keeps one blank between them and the number before.
TEST(PredictRegularGrid, WideValuesNeverTouch) {
    EXPECT_EQ(PredictionOf("1 3", {"99999\n99999 100 1\n"}),
              "KVSGDA01\n"
              "           1           3      0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n"
              "  99999.00\n"
              "99999.00 10000.00  100.00\n");
}

}  // namespace
}  // namespace quarnel::test
