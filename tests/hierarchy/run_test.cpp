// What a run of the job records for the host: its results, and the actual cause of a failure
// (which file, what, where) next to the status.
#include <gtest/gtest.h>

#include "jobs/hierarchy/decompos_run.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {
namespace {

namespace status = hierarchy_status;

std::string GridParams(const TempFolder& dir, const std::string& a, const std::string& b) {
    return dir.Write(
        "params.txt",
        ParameterText(1, {{{1, "1", {{"A", "3", a}, {"B", "1", b}}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}},
                      dir / "out.grd", dir / "report.txt"));
}

std::string TableParams(const TempFolder& dir, const std::string& table) {
    return dir.Write("params.txt", ParameterText(0,
                                                 {{{1, "1", {{"A", "3", "a.grd"}, {"B", "1", "b.grd"}}},
                                                   {1, "1", {{"C", "1", "c.grd"}, {"D", "1", table}}},
                                                   {0, "", {}},
                                                   {0, "", {}}}},
                                                 dir / "out.txt", dir / "report.txt"));
}

TEST(DecomposRun, GridsOfOtherDimensionsNameBothFiles) {
    TempFolder dir;
    const std::string a = dir.Write("a.grd", "KVSGDA01 3 3 0 1 0 1 0 1 99999 1 2 3 4 5 6 7 8 9\n");
    const std::string b = dir.Write("b.grd", "KVSGDA01 2 3 0 1 0 1 0 1 99999 1 2 3 4 5 6\n");
    const DecomposRun run = RunDecompos(GridParams(dir, a, b).c_str());
    EXPECT_EQ(run.status, status::kMalformedInput);
    EXPECT_EQ(run.cause, b + ": 2 x 3 cells, but " + a + " has 3 x 3");
    EXPECT_TRUE(run.weightsComputed);
}

TEST(DecomposRun, BadValueNamesTheFileRowAndByte) {
    TempFolder dir;
    const std::string table = dir.Write("table.txt", "AnmLvl 4 2\nNo A B C D\nR1 1 0 0 0\nR2 0 x 0 0\n");
    const DecomposRun run = RunDecompos(TableParams(dir, table).c_str());
    EXPECT_EQ(run.status, status::kMalformedInput);
    EXPECT_EQ(run.cause, table + ": row 2: a value at byte 38: not a number");
}

TEST(DecomposRun, ParameterFileFailuresNameWhatAndWhere) {
    TempFolder dir;
    std::string params = dir.Write("params.txt", "QELFrmDECOMPOSE 0 1 0 0 0 1.5 x\n");
    DecomposRun run = RunDecompos(params.c_str());
    EXPECT_EQ(run.status, status::kMalformedParameterFile);
    EXPECT_EQ(run.cause, params + ": the element count of the geology level at byte 30: not a number");

    params = dir.Write(
        "params.txt",
        ParameterText(0,
                      {{{1, "1", {{"A", "3", "a"}, {"B", "0", "b"}}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}},
                      dir / "out.txt", dir / "report.txt"));
    run = RunDecompos(params.c_str());
    EXPECT_EQ(run.status, status::kBadImportance);
    EXPECT_EQ(run.cause, "the importance of geology element 2 (B) is 0");
}

TEST(DecomposRun, RankingKeepsTheTopRowsAsData) {
    TempFolder dir;
    const std::string table =
        dir.Write("table.txt", "AnmLvl 4 3\nNo A B C D\nR1 1 0 0 0\nR2 0 0 0 2\nR3 0 1 0 0\n");
    const DecomposRun run = RunDecompos(TableParams(dir, table).c_str());
    ASSERT_EQ(run.status, status::kSuccess) << run.cause;
    EXPECT_EQ(run.cause, "");
    EXPECT_EQ(run.rowsScored, 3);
    ASSERT_EQ(run.ranking.size(), 3u);
    EXPECT_EQ(run.ranking[0].name, "R2");
    EXPECT_EQ(run.ranking[0].score, 50.0f);
    EXPECT_EQ(run.ranking[1].name, "R1");
    EXPECT_EQ(run.ranking[1].score, 37.5f);
    EXPECT_EQ(run.ranking[2].rank, 3);
    EXPECT_EQ(run.weights.matrices.size(), 3u);
}

}  // namespace
}  // namespace quarnel::test
