#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "jobs/feature/feature_status.h"
#include "feature_files.h"
#include "jobs/frame/quarnel.h"

namespace quarnel {
namespace {

using test::GridText;
using test::ParamText;
using testkit::FileExists;
using testkit::OpenFileCount;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

// Runs the job inside a fresh folder, so the parameter file can name its files plainly
// ("au.grd") and the report shows them so.
class FeatureJob : public ::testing::Test {
  protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(folder_ / "");
        WriteFile("au.grd", GridText(3, 4, {4, 1, 2, 5, 0, 3, 99999, 2, 1, 6, 2.5, 1}, 99999, "KVSGDA01",
                                     "0 3\n0 2 0 6"));
        WriteFile("cu.grd", GridText(3, 4, {25, 15, 5, 30, 8, 20, 12, 99999, 10, 21, 25, 3}, 99999,
                                     "KVSGDA01", "0.5 3.5\n-0.5 2.5 3 30"));
        WriteFile("units.txt", "deposits 3\n1 2 2 5\n2 0 2 3\n3 1 1 7\n");
    }
    void TearDown() override { std::filesystem::current_path(previous_); }

    static void Params(int hasModelUnits, int method, const std::string& score = "score.grd",
                       const std::string& report = "report.txt", const std::string& cuPath = "cu.grd") {
        WriteFile("params.txt", ParamText({{"Au", "1.5", "3", "au.grd"}, {"Cu", "10", "20", cuPath}},
                                          hasModelUnits, "units.txt", method, score, report));
    }
    // Runs the job and checks that it left no file open.
    static int Run() {
        const int before = OpenFileCount();
        const int status = qelFeater("params.txt");
        EXPECT_EQ(OpenFileCount(), before);
        return status;
    }

    static std::string Opening(const char* method, const char* units) {
        return std::string("\n\t\t特征分析---") + method + units +
               "Au     1.50     3.00 au.grd\nCu    10.00    20.00 cu.grd\n";
    }

    static constexpr const char* kVectorLength = "矢量长度法\n";
    static constexpr const char* kPrincipal = "乘积矩阵主分量法\n";
    static constexpr const char* kNoUnits = "\t\t   ***没有已知模型单元\n\n";
    static constexpr const char* kUnits = "\t\t   ***有已知模型单元\n\n";
    static constexpr const char* kScoreHeader =
        "KVSGDA01\n         3          4       0.50       3.50\n"
        "     -0.50       2.50       3.00      30.00\n  99999.00\n";
    // A failure after the weights leaves the report of a success but for its closing line.
    static std::string WithoutOk(std::string report) {
        const std::string ok = " Ok\n\n";
        EXPECT_TRUE(report.ends_with(ok));
        if (report.ends_with(ok)) report.resize(report.size() - ok.size());
        return report;
    }

    TempFolder folder_;
    std::filesystem::path previous_;
};

TEST_F(FeatureJob, VectorLengthMethodOverEveryCell) {
    Params(0, 0);
    ASSERT_EQ(Run(), kFeatureOk);
    testkit::ExpectGolden(ReadFile("report.txt"), "feature/vector-length-every-cell.txt");
    EXPECT_EQ(ReadFile("score.grd"), std::string(kScoreHeader) +
                                         "  100.00  -48.25  -51.75  100.00\n"
                                         " -100.00  100.00 99999.00 99999.00\n"
                                         " -100.00  100.00   51.75 -100.00\n");
}

TEST_F(FeatureJob, PrincipalComponentMethodOverModelUnits) {
    Params(1, 1);
    ASSERT_EQ(Run(), kFeatureOk);
    testkit::ExpectGolden(ReadFile("report.txt"), "feature/principal-component-model-units.txt");
    EXPECT_EQ(ReadFile("score.grd"), std::string(kScoreHeader) +
                                         "  100.00  -50.00  -50.00  100.00\n"
                                         " -100.00  100.00 99999.00 99999.00\n"
                                         " -100.00  100.00   50.00 -100.00\n");
}

// Any flag but 0 and 1 uses every cell and says nothing about model units.
TEST_F(FeatureJob, OtherModelUnitFlagUsesEveryCellSilently) {
    Params(2, 0);
    std::filesystem::remove("units.txt");
    ASSERT_EQ(Run(), kFeatureOk);
    testkit::ExpectGolden(ReadFile("report.txt"), "feature/vector-length-every-cell-flag2.txt");
}

TEST_F(FeatureJob, MissingParameterFileIs3000) {
    EXPECT_EQ(Run(), kFeatureFileUnavailable);
}

TEST_F(FeatureJob, MissingScoreGridFolderIs3000AfterTheWeights) {
    Params(0, 0, "missing/score.grd");
    EXPECT_EQ(Run(), kFeatureFileUnavailable);
    EXPECT_EQ(ReadFile("report.txt"), WithoutOk(testkit::Golden("feature/vector-length-every-cell.txt")));
}

TEST_F(FeatureJob, MissingReportFolderIs3059AndWritesNothing) {
    Params(0, 0, "score.grd", "missing/report.txt");
    EXPECT_EQ(Run(), kFeatureReportUnwritten);
    EXPECT_FALSE(FileExists("score.grd"));
}

// /dev/full accepts the file but no byte of it: a write failure is never reported as success.
TEST_F(FeatureJob, ReportThatCannotBeWrittenIs3059) {
    Params(0, 0, "score.grd", "/dev/full");
    EXPECT_EQ(Run(), kFeatureReportUnwritten);
}

TEST_F(FeatureJob, ScoreGridThatCannotBeWrittenIs3000) {
    Params(0, 0, "/dev/full");
    EXPECT_EQ(Run(), kFeatureFileUnavailable);
    EXPECT_EQ(ReadFile("report.txt"), WithoutOk(testkit::Golden("feature/vector-length-every-cell.txt")));
}

TEST_F(FeatureJob, MissingGridIs3001PlusItsIndex) {
    Params(0, 0, "score.grd", "report.txt", "nothing.grd");
    EXPECT_EQ(Run(), kFeatureGridUnopened + 1);
    EXPECT_EQ(ReadFile("report.txt"),
              "\n\t\t特征分析---矢量长度法\n\t\t   ***没有已知模型单元\n\n"
              "Au     1.50     3.00 au.grd\nCu    10.00    20.00 nothing.grd\n");
    EXPECT_FALSE(FileExists("score.grd"));
}

TEST_F(FeatureJob, MissingModelUnitFileIs3600) {
    Params(1, 0);
    std::filesystem::remove("units.txt");
    EXPECT_EQ(Run(), kFeatureUnitFileUnopened);
    EXPECT_EQ(ReadFile("report.txt"), Opening(kVectorLength, kUnits));
}

TEST_F(FeatureJob, KeywordAndLimitsAreCheckedFirst) {
    WriteFile("params.txt", "QELFRMFEATER 1 Au 1.5 3 au.grd 0 u 0 score.grd report.txt");
    EXPECT_EQ(Run(), kFeatureBadKeyword);
    WriteFile("params.txt", "QelFrmFeater 1 Au 1.5 3 au.grd 0 u 7 score.grd report.txt");
    EXPECT_EQ(Run(), kFeatureParamsRefused);
    EXPECT_FALSE(FileExists("report.txt"));
}

TEST_F(FeatureJob, GridsOfOtherDimensionsAre3058) {
    WriteFile("cu.grd", GridText(4, 3, {25, 15, 5, 30, 8, 20, 12, 99999, 10, 21, 25, 3}));
    Params(0, 0);
    EXPECT_EQ(Run(), kFeatureMalformedInput);
    EXPECT_EQ(ReadFile("report.txt"), Opening(kVectorLength, kNoUnits));
}

TEST_F(FeatureJob, GridEndingEarlyIs3058) {
    WriteFile("au.grd", GridText(3, 4, {4, 1, 2, 5, 0, 3, 99999, 2, 1, 6, 2.5}));
    Params(0, 0);
    EXPECT_EQ(Run(), kFeatureMalformedInput);
}

TEST_F(FeatureJob, ModelUnitFileEndingEarlyIs3058) {
    WriteFile("units.txt", "deposits 3\n1 2 2 5\n2 0 2 3\n");
    Params(1, 0);
    EXPECT_EQ(Run(), kFeatureMalformedInput);
}

TEST_F(FeatureJob, NoModelUnitMatchedIs3060ByBothMethods) {
    WriteFile("units.txt", "deposits 1\n1 7 7 1\n");
    const std::string zero = "\n\t乘积矩阵：\n    0.00    0.00\n    0.00    0.00\n";
    Params(1, 0);
    EXPECT_EQ(Run(), kFeatureNoWeights);
    EXPECT_EQ(ReadFile("report.txt"),
              Opening(kVectorLength, kUnits) + zero + "\n\t矢量长度：\n   0.00   0.00");
    Params(1, 1);
    EXPECT_EQ(Run(), kFeatureNoWeights);
    EXPECT_EQ(ReadFile("report.txt"), Opening(kPrincipal, kUnits) + zero);
}

TEST_F(FeatureJob, FailureBeforeScoringLeavesAnOlderScoreGridUntouched) {
    WriteFile("units.txt", "deposits 0\n");
    WriteFile("score.grd", "older");
    Params(1, 0);
    EXPECT_EQ(Run(), kFeatureNoWeights);
    EXPECT_EQ(ReadFile("score.grd"), "older");
}

TEST_F(FeatureJob, UnparsableValueIs3058BeforeAnyScore) {
    WriteFile("cu.grd", "KVSGDA01 3 4 0 1 0 1 0 1 99999 25 15 5 30 8 20 x 99999 10 21 25 3");
    Params(0, 0);
    EXPECT_EQ(Run(), kFeatureMalformedInput);
    EXPECT_EQ(ReadFile("report.txt"), Opening(kVectorLength, kNoUnits));
    EXPECT_FALSE(FileExists("score.grd"));
}

}  // namespace
}  // namespace quarnel
