#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/feature/feature_status.h"
#include "jobs/feature/mine_feater.h"
#include "feature_files.h"
#include "formats/grid/text_sink.h"

namespace quarnel {
namespace {

using test::GridText;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

// Runs one stage of the job with its own report and hands back what the stage wrote there.
class Stage {
  public:
    Stage() { report_.Open(ReportPath().c_str()); }

    // Variable i codes against lower 1 and upper 3 and reads grid "v<i>.grd" of the folder.
    FeatureParams Params(int n, int hasModelUnits = 0) {
        FeatureParams params{};
        params.varCount = n;
        params.hasModelUnits = hasModelUnits;
        CopyInto(params.modelUnitPath, folder_ / "units.txt");
        CopyInto(params.scoreGridPath, folder_ / "score.grd");
        CopyInto(params.reportPath, ReportPath());
        for (int i = 0; i < n; ++i) {
            CopyInto(params.vars[i].name, std::string("v").append(std::to_string(i)));
            params.vars[i].lower = 1.0f;
            params.vars[i].upper = 3.0f;
            CopyInto(params.vars[i].gridPath, GridPath(i));
        }
        return params;
    }
    std::string GridPath(int i) const {
        return folder_ / std::string("v").append(std::to_string(i)).append(".grd");
    }
    void Grid(int i, const std::string& text) const { WriteFile(GridPath(i), text); }
    void Units(const std::string& text) const { WriteFile(folder_ / "units.txt", text); }
    void Score(const std::string& text) const { WriteFile(folder_ / "score.grd", text); }
    std::string ScoreGridText() const { return ReadFile(folder_ / "score.grd"); }
    // The score grid without its four header lines.
    std::string ScoreRows() const {
        const std::string text = ScoreGridText();
        std::size_t start = 0;
        for (int line = 0; line < 4; ++line) start = text.find('\n', start) + 1;
        return text.substr(start);
    }

    TextSink& report() { return report_; }
    std::string ReportText() {
        report_.Close();
        return ReadFile(ReportPath());
    }

    CMine_Feater job;

  private:
    template <std::size_t N>
    static void CopyInto(char (&field)[N], const std::string& text) {
        ASSERT_LT(text.size(), N);
        text.copy(field, text.size());
        field[text.size()] = '\0';
    }
    std::string ReportPath() const { return folder_ / "report.txt"; }

    TempFolder folder_;
    TextSink report_;
};

TEST(BuildProductMatrix, AgreeingAndDisagreeingCellsCancel) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 0}));
    stage.Grid(1, GridText(1, 2, {5, 5}));
    std::vector<float> p(4, -1.0f);
    ASSERT_EQ(stage.job.BuildProductMatrix(stage.Params(2), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(p, (std::vector<float>{2, 0, 0, 2}));
    EXPECT_EQ(stage.ReportText(), "\n\t乘积矩阵：\n    2.00    0.00\n    0.00    2.00\n");
}

// Codes (+1, +1), (+1, +1), (-1, -1), (0, +1); blank cells of either variable are left out.
void WriteThreeThreeFour(const Stage& stage) {
    stage.Grid(0, GridText(2, 4, {5, 99999, 5, 0, 2, 7, 99999, 7}));
    stage.Grid(1, GridText(2, 4, {5, 5, 99999, 0, 5, 99999, 99999, 3}));
}

TEST(BuildProductMatrix, CountsNonZeroCodesOnTheDiagonal) {
    Stage stage;
    WriteThreeThreeFour(stage);
    std::vector<float> p(4);
    ASSERT_EQ(stage.job.BuildProductMatrix(stage.Params(2), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(p, (std::vector<float>{3, 3, 3, 4}));
}

TEST(VectorLengthWeights, LengthsAndWeightsOfTheWorkedExample) {
    Stage stage;
    const std::vector<float> p{3, 3, 3, 4};
    std::vector<float> w(2);
    ASSERT_EQ(stage.job.VectorLengthWeights(stage.Params(2), p.data(), w.data(), stage.report()), kFeatureOk);
    EXPECT_NEAR(w[0], 45.9029, 1e-3);
    EXPECT_NEAR(w[1], 54.0971, 1e-3);
    EXPECT_EQ(stage.ReportText(), "\n\t矢量长度：\n   4.24   5.00\n\n\t变量权：\n  45.90  54.10\n\n");
}

TEST(VectorLengthWeights, VariableThatNeverCodesGetsWeightZero) {
    Stage stage;
    const std::vector<float> p{4, 0, 2, 0, 0, 0, 2, 0, 3};
    std::vector<float> w(3);
    ASSERT_EQ(stage.job.VectorLengthWeights(stage.Params(3), p.data(), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(w[1], 0.0f);
    EXPECT_NEAR(w[0] + w[2], 100.0f, 1e-4);
}

TEST(VectorLengthWeights, ZeroMatrixOrNoVariablesIs3060) {
    Stage stage;
    const std::vector<float> p(4, 0.0f);
    std::vector<float> w(2);
    EXPECT_EQ(stage.job.VectorLengthWeights(stage.Params(2), p.data(), w.data(), stage.report()),
              kFeatureNoWeights);
    EXPECT_EQ(stage.job.VectorLengthWeights(stage.Params(0), p.data(), w.data(), stage.report()),
              kFeatureNoWeights);
    EXPECT_EQ(stage.ReportText(), "\n\t矢量长度：\n   0.00   0.00\n\t矢量长度：\n");
}

TEST(PrincipalComponentWeights, EqualDiagonalsGiveFiftyFifty) {
    Stage stage;
    std::vector<float> p{3, 3, 3, 4};
    std::vector<float> w(2);
    ASSERT_EQ(stage.job.PrincipalComponentWeights(stage.Params(2), p.data(), w.data(), stage.report()),
              kFeatureOk);
    EXPECT_NEAR(w[0], 50.0f, 1e-4);
    EXPECT_NEAR(w[1], 50.0f, 1e-4);
    EXPECT_EQ(stage.ReportText(),
              "\n\t乘积矩阵(归一化)：\n  1.00  0.87\n  0.87  1.00\n"
              "\n\t乘积矩阵第一主分量：\n   0.71   0.71\n\n\t变量权：\n  50.00  50.00\n\n");
}

// The eigenvector's sign is whatever the rotation gives: here the first weight is negative.
TEST(PrincipalComponentWeights, SignOfTheEigenvectorIsKept) {
    Stage stage;
    std::vector<float> p{2, -1, -1, 2};
    std::vector<float> w(2);
    ASSERT_EQ(stage.job.PrincipalComponentWeights(stage.Params(2), p.data(), w.data(), stage.report()),
              kFeatureOk);
    EXPECT_EQ(stage.ReportText(),
              "\n\t乘积矩阵(归一化)：\n  1.00 -0.50\n -0.50  1.00\n"
              "\n\t乘积矩阵第一主分量：\n  -0.71   0.71\n\n\t变量权：\n -50.00  50.00\n\n");
}

TEST(PrincipalComponentWeights, SingleVariableWeighsOneHundred) {
    Stage stage;
    std::vector<float> p{7};
    std::vector<float> w(1);
    ASSERT_EQ(stage.job.PrincipalComponentWeights(stage.Params(1), p.data(), w.data(), stage.report()),
              kFeatureOk);
    EXPECT_EQ(w[0], 100.0f);
    EXPECT_EQ(stage.ReportText(),
              "\n\t乘积矩阵(归一化)：\n  1.00\n\n\t乘积矩阵第一主分量：\n   1.00\n\n\t变量权：\n 100.00\n\n");
}

TEST(PrincipalComponentWeights, VariableThatNeverCodesIs3060BeforeAnyOutput) {
    Stage stage;
    std::vector<float> p{4, 0, 2, 0, 0, 0, 2, 0, 3};
    std::vector<float> w(3);
    EXPECT_EQ(stage.job.PrincipalComponentWeights(stage.Params(3), p.data(), w.data(), stage.report()),
              kFeatureNoWeights);
    std::vector<float> zero(4, 0.0f);
    EXPECT_EQ(stage.job.PrincipalComponentWeights(stage.Params(2), zero.data(), w.data(), stage.report()),
              kFeatureNoWeights);
    EXPECT_EQ(stage.job.PrincipalComponentWeights(stage.Params(0), zero.data(), w.data(), stage.report()),
              kFeatureNoWeights);
    EXPECT_EQ(stage.ReportText(), "\n\t乘积矩阵(归一化)：\n");
}

TEST(BuildProductMatrix, ModelUnitsSelectCellsAndBlankUnitsStillAdvanceTheCursor) {
    Stage stage;
    stage.Grid(0, GridText(2, 3, {5, 99999, 5, 5, 5, 0}));
    stage.Grid(1, GridText(2, 3, {5, 5, 5, 5, 5, 5}));
    stage.Units("units 3\n1 1 2 1\n2 0 1 1\n3 5 5 1\n");
    std::vector<float> p(4);
    ASSERT_EQ(stage.job.BuildProductMatrix(stage.Params(2, 1), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(p, (std::vector<float>{1, -1, -1, 1}));
}

TEST(BuildProductMatrix, NoUnitMatchedLeavesAZeroMatrix) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 5}));
    stage.Units("units 1\n1 4 0 1\n");
    std::vector<float> p(1, 9.0f);
    ASSERT_EQ(stage.job.BuildProductMatrix(stage.Params(1, 1), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(p[0], 0.0f);
}

TEST(BuildProductMatrix, FlagOtherThanOneUsesEveryCellAndNoUnitFile) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 5}));
    std::vector<float> p(1);
    ASSERT_EQ(stage.job.BuildProductMatrix(stage.Params(1, 2), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(p[0], 2.0f);
}

// 10000 cells that all code +1: products and lengths wider than their fields keep a blank.
TEST(BuildProductMatrix, WideValuesNeverTouch) {
    Stage stage;
    const std::vector<double> ones(10000, 5.0);
    stage.Grid(0, GridText(100, 100, ones));
    stage.Grid(1, GridText(100, 100, ones));
    std::vector<float> p(4);
    std::vector<float> w(2);
    const FeatureParams params = stage.Params(2);
    ASSERT_EQ(stage.job.BuildProductMatrix(params, p.data(), stage.report()), kFeatureOk);
    ASSERT_EQ(stage.job.VectorLengthWeights(params, p.data(), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(stage.ReportText(),
              "\n\t乘积矩阵：\n10000.00 10000.00\n10000.00 10000.00\n"
              "\n\t矢量长度：\n14142.14 14142.14\n\n\t变量权：\n  50.00  50.00\n\n");
}

TEST(BuildProductMatrix, InputStatuses) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 5}));
    std::vector<float> p(9);
    EXPECT_EQ(stage.job.BuildProductMatrix(stage.Params(3), p.data(), stage.report()),
              kFeatureGridUnopened + 1);
    stage.Grid(1, GridText(1, 2, {5, 5}));
    stage.Grid(2, GridText(1, 2, {5, 5}));
    EXPECT_EQ(stage.job.BuildProductMatrix(stage.Params(3, 1), p.data(), stage.report()),
              kFeatureUnitFileUnopened);
    stage.Grid(1, GridText(2, 1, {5, 5}));
    EXPECT_EQ(stage.job.BuildProductMatrix(stage.Params(3), p.data(), stage.report()),
              kFeatureMalformedInput);
    stage.Grid(1, GridText(1, 2, {5}));
    EXPECT_EQ(stage.job.BuildProductMatrix(stage.Params(3), p.data(), stage.report()),
              kFeatureMalformedInput);
    stage.Grid(1, GridText(1, 2, {5, 5}) + "x");
    EXPECT_EQ(stage.job.BuildProductMatrix(stage.Params(3), p.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(
        stage.ReportText(),
        "\n\t乘积矩阵：\n    2.00    2.00    2.00\n    2.00    2.00    2.00\n    2.00    2.00    2.00\n");
}

// Weights 40 and 60 on grids with blank value 99999; the unit at row 0, column 2 scores 60.
TEST(ScoreGrid, ScoresBlanksAndBackJudgement) {
    Stage stage;
    stage.Grid(0, GridText(2, 3, {5, 99999, 2, 0, 5, 2}));
    stage.Grid(1, GridText(2, 3, {0, 5, 5, 99999, 5, 2}));
    stage.Units("units 3\n1 1 1 9\n2 0 2 3\n3 0 2 4\n");
    const std::vector<float> w{40, 60};
    ASSERT_EQ(stage.job.ScoreGrid(stage.Params(2, 1), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(stage.ScoreGridText(),
              "KVSGDA01\n         2          3       0.00       1.00\n"
              "      0.00       1.00       0.00       1.00\n  99999.00\n"
              "  -20.00 99999.00   60.00\n99999.00  100.00    0.00\n");
    EXPECT_EQ(stage.ReportText(),
              "\t模型单元回判结果：\n  北向单元号  东向单元号  矿规模    预测值\n"
              "         0           2       3       60.00\n");
}

TEST(ScoreGrid, LastGridHeaderGovernsTheScoreGrid) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 0}, 99999, "first", "1 2\n3 4 5 6"));
    stage.Grid(1, GridText(1, 2, {5, 0}, -1.5, "KVSGDA01", "600761.8 725761.8\n-2508991 -2260991 100 63776"));
    const std::vector<float> w{50, 50};
    ASSERT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(stage.ScoreGridText(),
              "KVSGDA01\n         1          2  600761.81  725761.81\n"
              "-2508991.00 -2260991.00     100.00   63776.00\n     -1.50\n  100.00 -100.00\n");
    EXPECT_EQ(stage.ReportText(), "");
}

// With a blank value of 0 the running score starts out equal to it; a flag of its own keeps
// such cells scored.
TEST(ScoreGrid, BlankValueZeroBlanksOnlyCellsHoldingIt) {
    Stage stage;
    stage.Grid(0, GridText(1, 3, {5, 0, 2}, 0));
    stage.Grid(1, GridText(1, 3, {5, 5, 5}, 0));
    const std::vector<float> w{40, 60};
    ASSERT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(stage.ScoreRows(), "  100.00    0.00   60.00\n");
}

TEST(ScoreGrid, PartialScoreEqualToTheBlankValueIsNotBlank) {
    Stage stage;
    stage.Grid(0, GridText(1, 2, {5, 5}, 40));
    stage.Grid(1, GridText(1, 2, {5, 0}, 40));
    const std::vector<float> w{40, 60};
    ASSERT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureOk);
    EXPECT_EQ(stage.ScoreRows(), "  100.00  -20.00\n");
}

TEST(ScoreGrid, InputStatuses) {
    Stage stage;
    const std::vector<float> w{40, 60};
    stage.Grid(1, GridText(1, 2, {5, 5}));
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureGridUnopened);
    stage.Grid(0, GridText(1, 2, {5, 5}));
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(2, 1), w.data(), stage.report()), kFeatureUnitFileUnopened);
    stage.Grid(0, GridText(1, 2, {5, 5}).substr(0, 20));
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureMalformedInput);
    stage.Grid(0, std::string(52, 'K') + " 1 2 0 1 0 1 0 1 99999 5 5");
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureParamsRefused);
    stage.Grid(0, std::string(51, 'K') + " 1 2 0 1 0 1 0 1 99999 5 five");
    stage.Score("an earlier score grid");
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(2), w.data(), stage.report()), kFeatureMalformedInput);
    // A failed job leaves the score grid that was there, never the cells up to the failure.
    EXPECT_EQ(stage.ScoreGridText(), "an earlier score grid");
}

TEST(ScoreGrid, NegativeCountsAreMalformed) {
    Stage stage;
    stage.Grid(0, "KVSGDA01 -1 2 0 1 0 1 0 1 99999\n");
    const std::vector<float> w{100};
    EXPECT_EQ(stage.job.ScoreGrid(stage.Params(1), w.data(), stage.report()), kFeatureMalformedInput);
}

}  // namespace
}  // namespace quarnel
