// The command-line host's hierarchy and report commands, run as a user would run them: the
// summary and --json results, the status line and the actual cause of a failure.
// Report text on the terminal is UTF-8 (u8 literals); plain literals here are GBK.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "jobs/hierarchy/hierarchy_status.h"
#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {
namespace {

using testkit::CliResult;
using testkit::RunCliLine;

// The weights part of the summary for the fixture's parameters: geology alone, Fault 3, Granite 1.
const std::string kWeightsSummary =
    "main matrix: weights geology 1.000, largest eigenvalue 1.000, CR 0.000, consistent\n"
    "geology matrix: weights Fault 0.750 Granite 0.250, largest eigenvalue 2.000, CR 0.000, combined "
    "consistency 0.000, consistent\n"
    "total weights (geology), percent: Fault 75.000 Granite 25.000\n";

std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

class CliHierarchy : public ::testing::Test {
  protected:
    std::string Params(int target, const std::string& file) {
        return dir_.Write("params.txt",
                          ParameterText(target,
                                        {{{1, "4", {{"Fault", "3", file}, {"Granite", "1", file}}},
                                          {0, "", {}},
                                          {0, "", {}},
                                          {0, "", {}}}},
                                        dir_ / "out.txt", dir_ / "report.txt"));
    }
    static CliResult Run(const std::string& arguments) {
        return RunCliLine(arguments, {.separateErrors = true});
    }

    TempFolder dir_;
};

TEST_F(CliHierarchy, ShowsTheReportInUtf8AndWhereTheFilesAre) {
    const CliResult shown = Run("hierarchy " + Params(5, "x.grd") + " --show-report");
    EXPECT_EQ(shown.exitCode, 0) << shown.errors;
    EXPECT_EQ(shown.output.rfind(Utf8(u8"\t\t层次分析程序\n  目的层：找矿预测（不规则网格）\n"), 0), 0u)
        << shown.output;
    EXPECT_NE(shown.output.find(Utf8(u8"RI(1-2)=0.000,主层次与地质层间的判断矩阵构造合理\n"
                                     u8"report: ")),
              std::string::npos)
        << shown.output;
    EXPECT_EQ(shown.errors, "");
}

TEST_F(CliHierarchy, PrintsWhereTheResultIs) {
    const std::string grid = dir_.Write("grid.txt", "KVSGDA01 1 1 0 1 0 1 0 1 99999 5\n");
    const CliResult shown = Run("hierarchy " + Params(1, grid));
    EXPECT_EQ(shown.exitCode, 0) << shown.errors;
    EXPECT_EQ(shown.output, "report: " + dir_ / "report.txt" + "\nresult: " + dir_ / "out.txt" + "\n" +
                                kWeightsSummary + "predicted a grid of 1 x 1 cells\n");
}

TEST_F(CliHierarchy, FailureExitsOneWithTheStatusAndItsMeaning) {
    CliResult shown = Run("hierarchy " + dir_ / "missing.txt" + " --show-report");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.output, "");
    EXPECT_EQ(shown.errors,
              "quarnel hierarchy: status 3000: the parameter file cannot be opened\n"
              "quarnel hierarchy: " +
                  dir_ / "missing.txt" + ": cannot be opened\n");

    // A report left behind by a failure is still shown.
    shown = Run("hierarchy " + Params(1, dir_ / "missing.grd") + " --show-report");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.output.rfind(Utf8(u8"\t\t层次分析程序\n"), 0), 0u);
    EXPECT_EQ(shown.errors,
              "quarnel hierarchy: status 3001: target 1: the grid of geology element 1 cannot be opened\n"
              "quarnel hierarchy: " +
                  dir_ / "missing.grd" + ": cannot be opened\n");
}

TEST_F(CliHierarchy, FailureNamesTheActualCause) {
    const std::string a = dir_.Write("a.grd", "KVSGDA01 3 3 0 1 0 1 0 1 99999 1 2 3 4 5 6 7 8 9\n");
    const std::string b = dir_.Write("b.grd", "KVSGDA01 2 3 0 1 0 1 0 1 99999 1 2 3 4 5 6\n");
    const std::string params = dir_.Write(
        "params.txt", ParameterText(1, {{{1, "4", {{"Fault", "3", a}, {"Granite", "1", b}}}, {}, {}, {}}},
                                    dir_ / "out.txt", dir_ / "report.txt"));
    CliResult shown = Run("hierarchy " + params);
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.output, "");
    EXPECT_EQ(shown.errors, "quarnel hierarchy: status 3902: " + hierarchy_status::Meaning(3902) +
                                "\nquarnel hierarchy: " + b + ": 2 x 3 cells, but " + a + " has 3 x 3\n");

    shown = Run("hierarchy " + params + " --json");
    EXPECT_EQ(shown.exitCode, 1);
    const nlohmann::json object = nlohmann::json::parse(shown.output);
    EXPECT_FALSE(object["ok"].get<bool>());
    EXPECT_EQ(object["status"], 3902);
    EXPECT_EQ(object["cause"], b + ": 2 x 3 cells, but " + a + " has 3 x 3");
}

TEST_F(CliHierarchy, JsonCarriesMatricesTotalWeightsAndRanking) {
    const std::string table =
        dir_.Write("table.txt", "AnmLvl 4 3\nNo A B C D\nR1 1 0 0 0\nR2 0 0 0 2\nR3 0 1 0 0\n");
    const std::string params =
        dir_.Write("params.txt", ParameterText(0,
                                               {{{1, "1", {{"A", "3", "a"}, {"B", "1", "b"}}},
                                                 {1, "1", {{"C", "1", "c"}, {"D", "1", table}}},
                                                 {},
                                                 {}}},
                                               dir_ / "out.txt", dir_ / "report.txt"));
    const CliResult shown = Run("hierarchy " + params + " --json");
    EXPECT_EQ(shown.exitCode, 0) << shown.errors;
    const nlohmann::json object = nlohmann::json::parse(shown.output);
    EXPECT_EQ(object["command"], "hierarchy");
    EXPECT_TRUE(object["ok"].get<bool>());
    EXPECT_EQ(object["status"], 0);
    EXPECT_EQ(object["outputs"], nlohmann::json::array({dir_ / "report.txt"}));
    const nlohmann::json& results = object["results"];
    EXPECT_EQ(results["target"], 0);
    ASSERT_EQ(results["matrices"].size(), 3u);
    const nlohmann::json& main = results["matrices"][0];
    EXPECT_EQ(main["matrix"], "main");
    EXPECT_EQ(main["rows"], nlohmann::json::array({"geology", "geophysics"}));
    EXPECT_EQ(main["weights"], nlohmann::json::array({0.5, 0.5}));
    EXPECT_EQ(main["eigenvalue"], 2.0);
    EXPECT_EQ(main["cr"], 0.0);
    EXPECT_TRUE(main["consistent"].get<bool>());
    const nlohmann::json& geology = results["matrices"][1];
    EXPECT_EQ(geology["matrix"], "geology");
    EXPECT_EQ(geology["weights"], nlohmann::json::array({0.75, 0.25}));
    EXPECT_EQ(geology["combined_consistency"], 0.0);
    EXPECT_TRUE(results["consistent"].get<bool>());
    EXPECT_EQ(results["combined_consistency"], 0.0);
    EXPECT_EQ(results["total_weights"]["geology"]["A"], 37.5);
    EXPECT_EQ(results["total_weights"]["geology"]["B"], 12.5);
    EXPECT_EQ(results["total_weights"]["geophysics"]["D"], 25.0);
    EXPECT_EQ(results["rows_scored"], 3);
    ASSERT_EQ(results["ranking"].size(), 3u);
    EXPECT_EQ(results["ranking"][0], (nlohmann::json{{"rank", 1}, {"name", "R2"}, {"score", 50.0}}));
    EXPECT_EQ(results["ranking"][2]["name"], "R3");

    const CliResult plain = Run("hierarchy " + params);
    EXPECT_NE(
        plain.output.find("ranking of 3 anomalies (top 3):\n  1. R2 50.00\n  2. R1 37.50\n  3. R3 12.50\n"),
        std::string::npos)
        << plain.output;
}

TEST_F(CliHierarchy, ReportCommandConvertsAnyGbkFile) {
    const std::string report = dir_.Write("some_report.txt", "\n最大特征值为   3.000\n");
    CliResult shown = Run("report " + report);
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.output, Utf8(u8"\n最大特征值为   3.000\n"));
    shown = Run("report " + dir_ / "missing.txt");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_NE(shown.errors, "");
}

}  // namespace
}  // namespace quarnel::test
