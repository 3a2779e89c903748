// The evaluate command's results from cells in memory: the JSON keys against the core's numbers,
// the deposit sets of a holdout and of folds, the CSV curve files and the failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/evaluation_report.h"

namespace quarnel::cli {
namespace {

class EvaluationReport : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quarnel_evaluate_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        // 100 cells scored 0 .. 99 (cell 10 no-data); twelve deposits, one off the raster, one
        // on no-data, two sharing cell 95.
        for (int i = 0; i < 100; ++i) values_.push_back(i == 10 ? -1 : (i * 37) % 100);
        depositCells_ = {95, 95, 90, 80, 70, 62, 50, 33, 20, 5, -4, 10};
        map_ = evaluate::RankMap(values_, -1.0, {}, depositCells_);
        sample_ = evaluate::SampleCells(values_, -1.0, {}, depositCells_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    JobOutput Report(const EvaluationRequest& request) {
        JobOutput output;
        ReportEvaluation(map_, request, output);
        return output;
    }

    std::filesystem::path folder_;
    std::vector<double> values_;
    std::vector<std::int64_t> depositCells_;
    evaluate::RankedMap map_;
    evaluate::CellSample sample_;  // the same cells as arrays, for the core's own figures
};

std::vector<std::string> Lines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST_F(EvaluationReport, ResultsCarryTheCoresNumbersAndCurves) {
    const JobOutput output = Report({});
    ASSERT_TRUE(output.ok) << output.cause;
    const evaluate::Evaluation found = evaluate::Evaluate(sample_.scores, sample_.deposits);
    const nlohmann::ordered_json& r = output.results;
    EXPECT_EQ(r["cells"], 99);
    EXPECT_EQ(r["deposits_used"], 10);
    EXPECT_EQ(r["roc"]["deposit_cells"], 9);
    EXPECT_EQ(r["roc"]["auc"].get<double>(), *found.roc.auc);
    EXPECT_EQ(r["roc"]["auc_low"].get<double>(), *found.roc.aucLow);
    EXPECT_EQ(r["roc"]["points"].size(), evaluate::ThinCurve(found.roc.points, 0.001).size());
    EXPECT_EQ(r["success_rate"]["deposits"], 10);
    EXPECT_EQ(r["success_rate"]["area_for_90"].get<double>(), found.successRate.areaFor90);
    EXPECT_EQ(r["success_rate"]["points"][0], nlohmann::ordered_json({0.0, 0.0}));
    EXPECT_EQ(r["precision_recall"]["average_precision"].get<double>(),
              *found.precisionRecall.averagePrecision);
    EXPECT_EQ(r["prediction_area"]["crossing"]["threshold"].get<double>(),
              found.predictionArea.crossing.threshold);
    EXPECT_EQ(r["prediction_area"]["points"][0].size(), 3u);
    // Scores 0 .. 99 are no probabilities.
    EXPECT_TRUE(r["probability"]["log_loss"].is_null() && r["probability"]["brier"].is_null());
    EXPECT_TRUE(r["probability"]["note"].is_string());
    EXPECT_FALSE(r.contains("classes"));
    ASSERT_EQ(output.summary.size(), 3u);
    EXPECT_NE(output.summary[2].find("no log loss or Brier score"), std::string::npos) << output.summary[2];
    EXPECT_EQ(output.summary[0].rfind("ROC: AUC 0.", 0), 0u) << output.summary[0];
    EXPECT_NE(output.summary[0].find("9 deposit cells against 90 other cells"), std::string::npos);
}

TEST_F(EvaluationReport, HoldoutAndFoldsSplitTheDepositsOnValidCells) {
    EvaluationRequest request;
    request.holdout = 0.3;
    request.seed = 5;
    const JobOutput held = Report(request);
    ASSERT_TRUE(held.ok);
    const nlohmann::ordered_json& h = held.results["holdout"];
    std::vector<std::int64_t> all = h["training_deposits"].get<std::vector<std::int64_t>>();
    const std::vector<std::int64_t> heldOut = h["held_out_deposits"].get<std::vector<std::int64_t>>();
    EXPECT_EQ(heldOut.size(), 3u);
    all.insert(all.end(), heldOut.begin(), heldOut.end());
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, map_.validDeposits);
    // The held-out deposits alone, as arrays of the same cells.
    std::vector<std::int64_t> heldOutCells;
    for (const std::int64_t deposit : heldOut) heldOutCells.push_back(depositCells_[std::size_t(deposit)]);
    const evaluate::CellSample heldOutSample = evaluate::SampleCells(values_, -1.0, {}, heldOutCells);
    const evaluate::Evaluation predicted = evaluate::Evaluate(heldOutSample.scores, heldOutSample.deposits);
    EXPECT_EQ(h["held_out"]["success_rate"]["area"].get<double>(), predicted.successRate.area);
    EXPECT_EQ(h["held_out"]["success_rate"]["deposits"], 3);

    request.holdout.reset();
    request.folds = 3;
    const JobOutput folds = Report(request);
    ASSERT_TRUE(folds.ok);
    std::vector<std::int64_t> dealt;
    for (const auto& fold : folds.results["folds"]["each"]) {
        const auto deposits = fold["deposits"].get<std::vector<std::int64_t>>();
        EXPECT_GE(deposits.size(), 3u);
        EXPECT_EQ(fold["success_rate"]["deposits"], deposits.size());
        dealt.insert(dealt.end(), deposits.begin(), deposits.end());
    }
    std::sort(dealt.begin(), dealt.end());
    EXPECT_EQ(dealt, map_.validDeposits);
}

TEST_F(EvaluationReport, CsvFilesHoldEveryPointAndTheClassTable) {
    EvaluationRequest request;
    request.classes = true;
    request.holdout = 0.5;
    request.csvFolder = folder_.string();
    const JobOutput output = Report(request);
    ASSERT_TRUE(output.ok) << output.cause;
    EXPECT_EQ(output.outputs.size(), 13u);
    const std::vector<std::string> roc = Lines(folder_ / "roc.csv");
    ASSERT_EQ(roc.size(), 101u);  // a header and 100 points: 99 distinct scores and the origin
    EXPECT_EQ(roc[0], "false_positive_rate,true_positive_rate");
    EXPECT_EQ(roc[1], "0,0");
    EXPECT_EQ(roc.back(), "1,1");
    EXPECT_EQ(Lines(folder_ / "success_rate.csv")[0], "area_share,deposit_share");
    EXPECT_EQ(Lines(folder_ / "held_out_success_rate.csv").back(), "1,1");
    const std::vector<std::string> pr = Lines(folder_ / "precision_recall.csv");
    ASSERT_EQ(pr.size(), 100u);  // a header and a point per distinct score
    EXPECT_EQ(pr[0], "threshold,recall,precision");
    EXPECT_EQ(pr.back().rfind("0,1,0.0909090909", 0), 0u) << pr.back();  // 9 deposit cells in 99
    const std::vector<std::string> pa = Lines(folder_ / "held_out_prediction_area.csv");
    EXPECT_EQ(pa[0], "threshold,prediction_rate,area_share");
    EXPECT_EQ(pa.back().substr(pa.back().find(',')), ",1,1");
    const std::vector<std::string> classes = Lines(folder_ / "classes.csv");
    ASSERT_EQ(classes.size(), 100u);
    EXPECT_EQ(classes[0], "value,cells,area_share,deposits,density");
    EXPECT_EQ(output.results["classes"].size(), 99u);
}

TEST_F(EvaluationReport, FailuresNameTheirCause) {
    EvaluationRequest request;
    request.csvFolder = (folder_ / "missing").string();
    const JobOutput unwritten = Report(request);
    EXPECT_FALSE(unwritten.ok);
    EXPECT_EQ(unwritten.status, kEvaluateOutputUnwritten);
    EXPECT_EQ(unwritten.cause, (folder_ / "missing" / "roc.csv").string() + ": cannot write the file");

    map_ = evaluate::RankMap(values_, -1.0, {}, std::vector<std::int64_t>{10, -1});
    const JobOutput none = Report({});
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.status, kEvaluateInputsUnfit);
    EXPECT_EQ(none.cause, "no deposit falls on a valid cell");

    // A class table of a map of scores, one class a cell, is refused before anything is made.
    std::vector<double> scores(1001);
    for (std::size_t i = 0; i < scores.size(); ++i) scores[i] = double(i) / 7;
    map_ = evaluate::RankMap(scores, std::nullopt, {}, std::vector<std::int64_t>{3});
    request.csvFolder = folder_.string();
    request.classes = true;
    const JobOutput classes = Report(request);
    EXPECT_EQ(classes.status, kEvaluateInputsUnfit);
    EXPECT_EQ(
        classes.cause,
        "--classes: the map holds 1001 distinct values, more than the 1000 classes a class table takes");
    EXPECT_TRUE(classes.outputs.empty());
    EXPECT_FALSE(std::filesystem::exists(folder_ / "roc.csv"));
}

}  // namespace
}  // namespace quarnel::cli
