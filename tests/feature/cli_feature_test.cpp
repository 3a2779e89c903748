// The feature command of the quarnel host.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "jobs/feature/feature_status.h"
#include "feature_files.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using test::GridText;
using test::ParamText;
using testkit::CliResult;
using testkit::RunCliLine;
using testkit::TempFolder;
using testkit::WriteFile;

std::string Utf8(const char8_t* text) {
    return reinterpret_cast<const char*>(text);
}

class CliFeature : public ::testing::Test {
  protected:
    // One variable over a 1 x 2 grid; method as given.
    std::string Params(int method, const std::string& report = "") {
        WriteFile(folder_ / "v.grd", GridText(1, 2, {5, 0}));
        const std::string params = folder_ / "params.txt";
        WriteFile(params, ParamText({{"Au", "1", "3", folder_ / "v.grd"}}, 0, "none", method,
                                    folder_ / "score.grd", report.empty() ? folder_ / "report.txt" : report));
        return params;
    }

    TempFolder folder_;
};

TEST_F(CliFeature, SuccessNamesTheOutputsAndStatesTheResultsInEnglish) {
    const CliResult r = RunCliLine("feature " + Params(0));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "report: " + folder_ / "report.txt" + "\nscore grid: " + folder_ / "score.grd" +
                            "\nmethod 0: vector length\nweight of Au: 100.00\nproduct matrix: 1 x 1\n"
                            "scores of 2 cells: min -100.00, max 100.00, mean 0.00; blank cells: 0\n"
                            "model units matched: 0\n");
}

TEST_F(CliFeature, ShowReportPrintsItAsUtf8) {
    const CliResult r = RunCliLine("feature --show-report " + Params(1));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.rfind(Utf8(u8"\n\t\t特征分析---乘积矩阵主分量法\n\t\t   ***没有已知模型单元\n\n"), 0),
              0u)
        << r.output;
    EXPECT_NE(r.output.find(Utf8(u8"\t变量权：\n 100.00\n\n Ok\n\nreport: ")), std::string::npos) << r.output;
}

TEST_F(CliFeature, FailureNamesTheStatusAndShowsWhatTheReportHolds) {
    const std::string params = Params(0);
    WriteFile(folder_ / "v.grd", "KVSGDA01 1 2 0 1 0 1 0 1 99999 5");
    const CliResult r = RunCliLine("feature --show-report " + params);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find(Utf8(u8"矢量长度法")), std::string::npos) << r.output;
    EXPECT_NE(
        r.output.find("quarnel feature: status 3058: an evidence grid or the model-unit file is malformed"),
        std::string::npos)
        << r.output;
}

// A refused parameter file creates no report, so a file of that name is not shown.
TEST_F(CliFeature, RefusedParameterFileShowsNoOlderReport) {
    WriteFile(folder_ / "report.txt", "older report");
    const CliResult r = RunCliLine("feature --show-report " + Params(2));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "quarnel feature: status 3057: " + std::string(FeatureStatusText(3057)) + "\n");
}

TEST_F(CliFeature, MissingParameterFileIs3000) {
    const CliResult r = RunCliLine("feature " + folder_ / "none.txt");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("quarnel feature: status 3000"), std::string::npos) << r.output;
}

TEST_F(CliFeature, JsonHoldsTheResults) {
    const CliResult r = RunCliLine("feature --json " + Params(1));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const nlohmann::json object = nlohmann::json::parse(r.output);
    EXPECT_EQ(object["command"], "feature");
    EXPECT_EQ(object["status"], 0);
    EXPECT_EQ(object["outputs"], nlohmann::json::array({folder_ / "report.txt", folder_ / "score.grd"}));
    const nlohmann::json& results = object["results"];
    EXPECT_EQ(results["method"], 1);
    EXPECT_EQ(results["variables"][0]["name"], "Au");
    EXPECT_EQ(results["variables"][0]["weight"], 100.0);
    EXPECT_EQ(results["jacobi_sweeps"], 0);  // one variable: nothing off the diagonal
    EXPECT_EQ(results["product_matrix_size"], 1);
    EXPECT_EQ(results["product_matrix"], nlohmann::json::parse("[[2.0]]"));
    // Codes +1 and -1 of the cells 5 and 0 give scores 100 and -100.
    EXPECT_EQ(results["scores"]["cells"], 2);
    EXPECT_EQ(results["scores"]["blank"], 0);
    EXPECT_EQ(results["scores"]["min"], -100.0);
    EXPECT_EQ(results["scores"]["max"], 100.0);
    EXPECT_EQ(results["scores"]["mean"], 0.0);
    EXPECT_EQ(results["model_units_matched"], 0);
}

TEST_F(CliFeature, FailureNamesTheGridsWhoseSizesDiffer) {
    WriteFile(folder_ / "au.grd", GridText(2, 3, {5, 0, 5, 0, 5, 0}));
    WriteFile(folder_ / "cu.grd", GridText(2, 4, {5, 0, 5, 0, 5, 0, 5, 0}));
    const std::string params = folder_ / "params.txt";
    WriteFile(params, ParamText({{"Cu", "1", "3", folder_ / "cu.grd"}, {"Au", "1", "3", folder_ / "au.grd"}},
                                0, "none", 0, folder_ / "score.grd", folder_ / "report.txt"));
    const CliResult text = RunCliLine("feature " + params);
    EXPECT_EQ(text.exitCode, 1);
    const std::string cause =
        folder_ / "cu.grd" + ": 2 x 4 cells, but " + folder_ / "au.grd" + " has 2 x 3 cells";
    EXPECT_NE(text.output.find("quarnel feature: status 3058: "), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("quarnel feature: " + cause + "\n"), std::string::npos) << text.output;
    const CliResult json = RunCliLine("feature --json " + params);
    EXPECT_EQ(json.exitCode, 1);
    const nlohmann::json object = nlohmann::json::parse(json.output);
    EXPECT_EQ(object["status"], 3058);
    EXPECT_EQ(object["cause"], cause);
}

TEST_F(CliFeature, FailureNamesTheByteOfABadValue) {
    const std::string params = Params(0);
    WriteFile(folder_ / "v.grd", "KVSGDA01 1 2 0 1 0 1 0 1 99999 5 x");
    const CliResult r = RunCliLine("feature " + params);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find(folder_ / "v.grd" + ": value of row 0, column 1: not a number at byte 33"),
              std::string::npos)
        << r.output;
}

}  // namespace
}  // namespace quarnel
