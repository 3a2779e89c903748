// The feature command of the quarnel host.
#include <gtest/gtest.h>

#include <string>

#include "feature/feature_status.h"
#include "feature_files.h"
#include "tests/cli/run_quarnel.h"

namespace quarnel {
namespace {

using test::GridText;
using test::ParamText;
using test::TempFolder;
using test::WriteFile;
using testing::CliResult;
using testing::Quarnel;

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

TEST_F(CliFeature, SuccessNamesTheReportAndTheScoreGrid) {
    const CliResult r = Quarnel("feature " + Params(0));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "qelFeater status 0: success\nreport: " + folder_ / "report.txt" +
                            "\nscore grid: " + folder_ / "score.grd" + "\n");
}

TEST_F(CliFeature, ShowReportPrintsItAsUtf8) {
    const CliResult r = Quarnel("feature --show-report " + Params(1));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output.rfind(Utf8(u8"\n\t\t特征分析---乘积矩阵主分量法\n\t\t   ***没有已知模型单元\n\n"), 0),
              0u)
        << r.output;
    EXPECT_NE(r.output.find(Utf8(u8"\t变量权：\n 100.00\n\n Ok\n\nqelFeater status 0")), std::string::npos)
        << r.output;
}

TEST_F(CliFeature, FailureNamesTheStatusAndShowsWhatTheReportHolds) {
    const std::string params = Params(0);
    WriteFile(folder_ / "v.grd", "KVSGDA01 1 2 0 1 0 1 0 1 99999 5");
    const CliResult r = Quarnel("feature --show-report " + params);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find(Utf8(u8"矢量长度法")), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("qelFeater status 3058: an evidence grid or the model-unit file is malformed"),
              std::string::npos)
        << r.output;
}

// A refused parameter file creates no report, so a file of that name is not shown.
TEST_F(CliFeature, RefusedParameterFileShowsNoOlderReport) {
    WriteFile(folder_ / "report.txt", "older report");
    const CliResult r = Quarnel("feature --show-report " + Params(2));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output, "qelFeater status 3057: " + std::string(FeatureStatusText(3057)) + "\n");
}

TEST_F(CliFeature, MissingParameterFileIs3000) {
    const CliResult r = Quarnel("feature " + folder_ / "none.txt");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("qelFeater status 3000"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace quarnel
