// Every status of the hierarchy job, what each leaves in the report and the outputs, and that
// every file the job opened is closed again on every path.
#include <gtest/gtest.h>

#include <string>

#include "jobs/frame/quarnel.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {
namespace {

namespace status = hierarchy_status;

const LevelEntry kAbsent{0, "", {}};
const std::string kPreviousReport = "a report from an earlier run\n";

class HierarchyStatus : public ::testing::Test {
  protected:
    // Runs the job on the given parameter text and checks that it left no file open.
    int Run(const std::string& parameterText) {
        const std::string params = dir_.Write("params.txt", parameterText);
        const int before = OpenFileCount();
        const int code = qelDecompos(params.c_str());
        EXPECT_EQ(OpenFileCount(), before) << "status " << code;
        return code;
    }
    int RunLevels(int target, const std::array<LevelEntry, 4>& levels) {
        return Run(ParameterText(target, levels, Output(), Report()));
    }
    std::string Report() const { return dir_ / "report.txt"; }
    std::string Output() const { return dir_ / "output.txt"; }
    std::string ReportText() const { return ReadFile(Report()); }
    bool ReportEndsWith(const std::string& tail) const {
        const std::string report = ReportText();
        return report.size() >= tail.size() &&
               report.compare(report.size() - tail.size(), tail.size(), tail) == 0;
    }
    // Statuses that refuse the parameter file come before the report is created.
    void ExpectReportUntouched() const { EXPECT_EQ(ReadFile(Report()), kPreviousReport); }
    void KeepPreviousReport() const { dir_.Write("report.txt", kPreviousReport); }

    TempFolder dir_;
};

// ---- the parameter file --------------------------------------------------------------------

TEST_F(HierarchyStatus, ParameterFileMissing) {
    const int before = OpenFileCount();
    EXPECT_EQ(qelDecompos((dir_ / "absent.txt").c_str()), status::kParameterFileNotOpened);
    EXPECT_EQ(qelDecompos(nullptr), status::kParameterFileNotOpened);
    EXPECT_EQ(OpenFileCount(), before);
}

TEST_F(HierarchyStatus, FirstTokenNotTheKeyword) {
    KeepPreviousReport();
    std::string text = ParameterText(5, {{kAbsent, kAbsent, kAbsent, kAbsent}}, Output(), Report());
    text.replace(0, 15, "QELFRMDECOMPOSE");
    for (const std::string& params : {text, std::string(), std::string(" \n\t")}) {
        EXPECT_EQ(Run(params), status::kNotTheKeyword) << "[" << params << "]";
        ExpectReportUntouched();
    }
}

std::string Repeat(char c, int n) {
    return std::string(static_cast<std::size_t>(n), c);
}

// Malformed parameter files, each refused before anything is written.
TEST_F(HierarchyStatus, MalformedParameterFiles) {
    KeepPreviousReport();
    const std::string report = Report();
    const std::string tail = " out.txt " + report + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"keyword of 20 characters", "QELFrmDECOMPOSEabcde 5 0 0 0 0" + tail},
        {"target is not a number", "QELFrmDECOMPOSE x 0 0 0 0" + tail},
        {"target beyond 32 bits", "QELFrmDECOMPOSE 99999999999 0 0 0 0" + tail},
        {"presence values missing", "QELFrmDECOMPOSE 5 0 0"},
        {"element count 11", "QELFrmDECOMPOSE 5 1 0 0 0 1 11" + tail},
        {"element count -1", "QELFrmDECOMPOSE 5 1 0 0 0 1 -1" + tail},
        {"importance is not a number", "QELFrmDECOMPOSE 5 1 0 0 0 high 0" + tail},
        {"element entry cut short", "QELFrmDECOMPOSE 5 1 0 0 0 1 2 A 1 a.grd B 1"},
        {"name of 100 characters", "QELFrmDECOMPOSE 5 1 0 0 0 1 1 " + Repeat('n', 100) + " 1 a.grd" + tail},
        {"file of 200 characters", "QELFrmDECOMPOSE 5 1 0 0 0 1 1 A 1 " + Repeat('f', 200) + tail},
        {"output name of 200 characters", "QELFrmDECOMPOSE 5 0 0 0 0 " + Repeat('o', 200) + " " + report},
        {"report name missing", "QELFrmDECOMPOSE 5 0 0 0 0 out.txt"},
        {"target 1 without element grids", "QELFrmDECOMPOSE 1 1 1 0 0 1 0 1 0" + tail},
    };
    for (const auto& [what, text] : cases) {
        EXPECT_EQ(Run(text), status::kMalformedParameterFile) << what;
        ExpectReportUntouched();
    }
}

TEST_F(HierarchyStatus, NegativeImportancesWeighByTheirRatios) {
    EXPECT_EQ(RunLevels(5, {{kAbsent, {1, "-1", {{"A", "-1", "a"}, {"B", "-3", "b"}}}, kAbsent, kAbsent}}),
              status::kSuccess);
    const std::string allNegative = ReportText();
    EXPECT_EQ(RunLevels(5, {{kAbsent, {1, "1", {{"A", "1", "a"}, {"B", "3", "b"}}}, kAbsent, kAbsent}}),
              status::kSuccess);
    const auto weights = [](const std::string& report) { return report.substr(report.rfind("0.250")); };
    EXPECT_EQ(weights(allNegative), weights(ReportText()));
    EXPECT_EQ(RunLevels(5, {{kAbsent, {1, "1", {{"A", "1", "a"}, {"B", "-3", "b"}}}, kAbsent, kAbsent}}),
              status::kInconsistentMatrix);
}

TEST_F(HierarchyStatus, FieldsFilledToCapacityAreAccepted) {
    const std::string name = Repeat('n', 99);
    EXPECT_EQ(
        Run("QELFrmDECOMPOSE 5 1 0 0 0 1 1 " + name + " 1 " + Repeat('f', 199) + " out.txt " + Report()),
        status::kSuccess);
    EXPECT_NE(ReportText().find(name + "     1.0\n"), std::string::npos);
}

TEST_F(HierarchyStatus, ImportancesThatMakeNoWeights) {
    KeepPreviousReport();
    for (const char* bad : {"0", "inf", "nan", "-0"}) {
        EXPECT_EQ(RunLevels(5, {{{1, bad, {{"A", "1", "a"}}}, kAbsent, kAbsent, kAbsent}}),
                  status::kBadImportance)
            << "level importance " << bad;
        EXPECT_EQ(RunLevels(5, {{kAbsent, {1, "1", {{"A", "1", "a"}, {"B", bad, "b"}}}, kAbsent, kAbsent}}),
                  status::kBadImportance)
            << "element importance " << bad;
        ExpectReportUntouched();
    }
}

TEST_F(HierarchyStatus, ReportCannotBeCreated) {
    EXPECT_EQ(Run(ParameterText(5, {{kAbsent, kAbsent, kAbsent, kAbsent}}, Output(), dir_ / "no/report.txt")),
              status::kReportNotCreated);
}

TEST_F(HierarchyStatus, OutputsThatWouldOverwriteInputs) {
    const std::string grid = dir_.Write("grid.txt", "KVSGDA01 1 1 0 1 0 1 0 1 99999 5\n");
    const std::string table = dir_.Write("table.txt", "AnmLvl 2 0 No A B\n");
    const std::array<LevelEntry, 4> gridLevels = {{{1, "1", {{"A", "1", grid}}}, kAbsent, kAbsent, kAbsent}};
    const std::array<LevelEntry, 4> tableLevels = {
        {kAbsent, {1, "1", {{"A", "1", "a"}, {"B", "1", table}}}, kAbsent, kAbsent}};
    const std::string params = dir_ / "params.txt";
    const std::string relative = dir_ / "." + "/params.txt";

    EXPECT_EQ(Run(ParameterText(5, gridLevels, Output(), params)), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(5, gridLevels, Output(), relative)), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(1, gridLevels, grid, Report())), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(1, gridLevels, Output(), grid)), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(0, tableLevels, Output(), table)), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(2, tableLevels, table, Report())), status::kOutputOverwritesInput);
    EXPECT_EQ(Run(ParameterText(2, tableLevels, Report(), Report())), status::kOutputOverwritesInput);
    EXPECT_EQ(ReadFile(grid), "KVSGDA01 1 1 0 1 0 1 0 1 99999 5\n");
    EXPECT_EQ(ReadFile(table), "AnmLvl 2 0 No A B\n");
    EXPECT_FALSE(FileExists(Report()));

    // Target 0 writes no result file, so its unused output name may be anything.
    EXPECT_EQ(Run(ParameterText(0, tableLevels, table, Report())), status::kSuccess);
}

TEST_F(HierarchyStatus, ReportThatCannotBeWritten) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
    EXPECT_EQ(Run(ParameterText(5, {{kAbsent, kAbsent, kAbsent, kAbsent}}, Output(), "/dev/full")),
              status::kWriteFailed);
}

// ---- consistency ---------------------------------------------------------------------------

// Importances whose ratio lies beyond float range give weights that are not numbers; such a
// matrix fails its consistency test even at order 2, and no target operation runs.
TEST_F(HierarchyStatus, MainMatrixWithoutUsableWeights) {
    const std::string table = dir_.Write("table.txt", "AnmLvl 2 0 No A B\n");
    EXPECT_EQ(
        RunLevels(2,
                  {{kAbsent, {1, "1e30", {{"A", "1", "a"}, {"B", "1", table}}}, {1, "1e-30", {}}, kAbsent}}),
        status::kInconsistentMatrix);
    EXPECT_TRUE(ReportEndsWith(
        "\n CR(0-1)=   nan, 目的层与主层次间的判断矩阵构造不合理，请调整主层次元素的重要性后重算"));
    EXPECT_FALSE(FileExists(Output()));
}

TEST_F(HierarchyStatus, LevelMatrixWithoutUsableWeights) {
    const std::string table = dir_.Write("table.txt", "AnmLvl 2 0 No A B\n");
    EXPECT_EQ(
        RunLevels(2, {{kAbsent, {1, "1", {{"A", "1e30", "a"}, {"B", "1e-30", table}}}, kAbsent, kAbsent}}),
        status::kInconsistentMatrix);
    EXPECT_TRUE(ReportEndsWith("RI(1-2)=  nan,主层次与地球物理层"));
    EXPECT_FALSE(FileExists(Output()));
}

// ---- the anomaly table of targets 0 and 2 --------------------------------------------------

class TableStatus : public HierarchyStatus {
  protected:
    int RunTable(int target, const std::string& tableText) {
        const std::string table = dir_.Write("table.txt", tableText);
        return RunLevels(target, {{{1, "1", {{"A", "3", "a"}, {"B", "1", "b"}}},
                                   {1, "1", {{"C", "1", "c"}, {"D", "1", table}}},
                                   kAbsent,
                                   kAbsent}});
    }
    // The report's last section starts where the weights sections end.
    std::string TableEcho() const {
        const std::string report = ReportText();
        const std::string last = "主层次与地球物理层间的判断矩阵构造合理\n";
        return report.substr(report.rfind(last) + last.size());
    }
};

TEST_F(TableStatus, TableNotNamedOrNotOpened) {
    for (int target : {0, 2}) {
        EXPECT_EQ(RunLevels(target, {{{1, "1", {{"A", "1", "a"}}}, kAbsent, kAbsent, kAbsent}}),
                  status::kTableOrGridNotOpened)
            << "geophysics absent, target " << target;
        EXPECT_EQ(RunLevels(target, {{kAbsent, {1, "1", {{"A", "1", dir_ / "t.txt"}}}, kAbsent, kAbsent}}),
                  status::kTableOrGridNotOpened)
            << "geophysics with one element, target " << target;
        EXPECT_EQ(
            RunLevels(target,
                      {{kAbsent, {1, "1", {{"A", "1", "a"}, {"B", "1", dir_ / "t.txt"}}}, kAbsent, kAbsent}}),
            status::kTableOrGridNotOpened)
            << "table missing, target " << target;
        EXPECT_TRUE(ReportEndsWith("间的判断矩阵构造合理\n")) << "nothing more is written";
    }
}

TEST_F(TableStatus, ForecastCannotBeCreated) {
    const std::string table = dir_.Write("table.txt", "AnmLvl 2 0 No A B\n");
    EXPECT_EQ(
        Run(ParameterText(2, {{kAbsent, {1, "1", {{"A", "1", "a"}, {"B", "1", table}}}, kAbsent, kAbsent}},
                          dir_ / "no/forecast.txt", Report())),
        status::kTableOrGridNotOpened);
    EXPECT_TRUE(ReportEndsWith("主层次与地球物理层间的判断矩阵构造合理\n"));
}

TEST_F(TableStatus, HeaderInOtherLetterCase) {
    EXPECT_EQ(RunTable(0, "anmlvl 4 1 No A B C D\nR1 1 1 1 1\n"), status::kNotAnomalyTable);
    EXPECT_EQ(TableEcho(), "\n\n  输入数据文件的头部信息为:\n  anmlvl\n ");
    EXPECT_EQ(RunTable(2, "ANMLVL 4 1 No A B C D\nR1 1 1 1 1\n"), status::kNotAnomalyTable);
    EXPECT_EQ(TableEcho(), "\n\n  输入数据文件的头部信息为:\n  ANMLVL\n ");
    EXPECT_EQ(ReadFile(Output()), "") << "target 2 creates its forecast before it checks the table";
}

// The counts follow the last variable name directly; the house rule keeps them apart.
TEST_F(TableStatus, VariableCountDiffersFromElements) {
    EXPECT_EQ(RunTable(0, "AnmLvl 5 1 No A B C D E\nR1 1 1 1 1 1\n"), status::kVariableCountMismatch);
    EXPECT_EQ(TableEcho(), "\n\n  输入数据文件的头部信息为:\n  AnmLvl\n  5  1\n  No  A  B  C  D 4 5\n\n");
    EXPECT_EQ(RunTable(2, "AnmLvl 3 1 No A B C\nR1 1 1 1\n"), status::kVariableCountMismatch);
    EXPECT_EQ(TableEcho(), "\n\n  输入数据文件的头部信息为:\n  AnmLvl\n  3  1\n  No  A  B  C  R1 4 3\n\n");
}

// A row count the rest of the table cannot hold is refused before anything is reserved.
TEST_F(TableStatus, RowsBeyondTheTable) {
    for (int target : {0, 2}) {
        EXPECT_EQ(RunTable(target, "AnmLvl 4 2000000000 No A B C D\nR1 1 1 1 1\n"), status::kMalformedInput);
        EXPECT_EQ(TableEcho(),
                  "\n\n  输入数据文件的头部信息为:\n  AnmLvl\n  4  2000000000\n  No  A  B  C  D\n\n\n ");
    }
}

TEST_F(TableStatus, MalformedTables) {
    const std::pair<const char*, const char*> cases[] = {
        {"header of 20 characters", "AnmLvlAnmLvlAnmLvlAn 4 1 No A B C D\nR1 1 1 1 1\n"},
        {"variable count is not a number", "AnmLvl four 1 No A B C D\nR1 1 1 1 1\n"},
        {"row count missing", "AnmLvl 4"},
        {"title of 20 characters", "AnmLvl 4 1 AnomalyNumberTitle20 A B C D\nR1 1 1 1 1\n"},
        {"variable name of 20 characters", "AnmLvl 4 1 No A B C VariableNameOf20Char\nR1 1 1 1 1\n"},
        {"names end early", "AnmLvl 4 1 No A B"},
        {"negative row count", "AnmLvl 4 -1 No A B C D\n"},
        {"fewer rows than counted", "AnmLvl 4 2 No A B C D\nR1 1 1 1 1\n"},
        {"row ends early", "AnmLvl 4 1 No A B C D\nR1 1 1 1\n"},
        {"value does not parse", "AnmLvl 4 1 No A B C D\nR1 1 1 x 1\n"},
    };
    for (int target : {0, 2}) {
        for (const auto& [what, table] : cases) {
            EXPECT_EQ(RunTable(target, table), status::kMalformedInput) << what << ", target " << target;
        }
    }
    // What was written stays: the echo up to the rows, and nothing after it.
    EXPECT_EQ(RunTable(0, "AnmLvl 4 2 No A B C D\nR1 1 1 1 1\n"), status::kMalformedInput);
    EXPECT_EQ(TableEcho(), "\n\n  输入数据文件的头部信息为:\n  AnmLvl\n  4  2\n  No  A  B  C  D\n\n\n ");
}

// ---- the element grids of target 1 ---------------------------------------------------------

const char* const kGrid = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 5 6\n";

// Every level holds ten elements; all grids exist but the one at (level, element).
TEST_F(HierarchyStatus, GridThatCannotBeOpenedByPosition) {
    const std::string grid = dir_.Write("grid.txt", kGrid);
    for (int level = 0; level < 4; ++level) {
        for (int element = 0; element < 10; ++element) {
            std::array<LevelEntry, 4> levels;
            for (int k = 0; k < 4; ++k) {
                levels[k] = {1, "1", {}};
                for (int i = 0; i < 10; ++i) {
                    const std::string file = k == level && i == element ? dir_ / "missing.txt" : grid;
                    std::string name = "E";
                    name += std::to_string(i);
                    levels[k].elements.push_back({name, "1", file});
                }
            }
            EXPECT_EQ(RunLevels(1, levels), 3001 + 10 * level + element);
            EXPECT_TRUE(ReportEndsWith("主层次与遥感层间的判断矩阵构造合理\n")) << "nothing more is written";
            EXPECT_FALSE(FileExists(Output()));
        }
    }
}

TEST_F(HierarchyStatus, OutputGridCannotBeCreated) {
    const std::string grid = dir_.Write("grid.txt", kGrid);
    EXPECT_EQ(Run(ParameterText(1, {{{1, "1", {{"A", "1", grid}}}, kAbsent, kAbsent, kAbsent}},
                                dir_ / "no/output.txt", Report())),
              status::kOutputGridNotCreated);
    EXPECT_TRUE(ReportEndsWith("间的判断矩阵构造合理\n\n输入数据的行数为2,\t列数为3\n"));
}

TEST_F(HierarchyStatus, MalformedGrids) {
    const std::pair<const char*, const char*> cases[] = {
        {"header ends early", "KVSGDA01 2 3 0 1 0 1"},
        {"blank value does not parse", "KVSGDA01 2 3 0 1 0 1 0 1 none\n1 2 3\n4 5 6\n"},
        {"negative row count", "KVSGDA01 -2 3 0 1 0 1 0 1 99999\n"},
        {"other dimensions", "KVSGDA01 3 2 0 1 0 1 0 1 99999\n1 2\n3 4\n5 6\n"},
        {"values end early", "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4\n"},
        {"value does not parse", "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 five 6\n"},
    };
    const std::string good = dir_.Write("good.txt", kGrid);
    for (const auto& [what, text] : cases) {
        const std::string bad = dir_.Write("bad.txt", text);
        EXPECT_EQ(RunLevels(1, {{{1, "1", {{"A", "1", good}, {"B", "1", bad}}}, kAbsent, kAbsent, kAbsent}}),
                  status::kMalformedInput)
            << what;
    }
}

// A grid that ends early stops the job where it ends: what was written stays.
TEST_F(HierarchyStatus, GridEndingEarlyLeavesTheEarlierOutput) {
    const std::string grid =
        dir_.Write("grid.txt", "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4                    \n");
    dir_.Write("output.txt", "an earlier result");
    EXPECT_EQ(RunLevels(1, {{{1, "1", {{"A", "1", grid}}}, kAbsent, kAbsent, kAbsent}}),
              status::kMalformedInput);
    EXPECT_EQ(ReadFile(Output()), "an earlier result");
    EXPECT_TRUE(ReportEndsWith("\n输入数据的行数为2,\t列数为3\n\n\n"));
}

TEST_F(HierarchyStatus, OutputGridThatCannotBeWritten) {
    if (!FileExists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
    const std::string grid = dir_.Write("grid.txt", kGrid);
    EXPECT_EQ(Run(ParameterText(1, {{{1, "1", {{"A", "1", grid}}}, kAbsent, kAbsent, kAbsent}}, "/dev/full",
                                Report())),
              status::kWriteFailed);
}

TEST(HierarchyStatusMeaning, EveryStatusHasAMeaning) {
    for (int code : {0, 3000, 3001, 3048, 3056, 3059, 3070, 3256, 3500, 3501, 3900, 3901, 3902, 3903, 3904}) {
        EXPECT_NE(status::Meaning(code), "unknown status") << code;
    }
    EXPECT_EQ(status::Meaning(3001 + 10 * 2 + 3),
              "target 1: the grid of geochemistry element 4 cannot be opened");
    EXPECT_EQ(status::Meaning(3040), "target 1: the grid of remote-sensing element 10 cannot be opened");
    EXPECT_EQ(status::Meaning(3041), "unknown status");
    EXPECT_EQ(status::Meaning(3001, 1), "target 1: the grid of geology element 1 cannot be opened");
    EXPECT_EQ(status::Meaning(3001, 0), status::Meaning(3001, 2));
    EXPECT_EQ(status::Meaning(3001, 5), status::Meaning(3001));
    EXPECT_EQ(status::Meaning(3500, 1), status::Meaning(3500));
}

}  // namespace
}  // namespace quarnel::test
