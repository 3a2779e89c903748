// The evaluate, plot and plot-curves commands of the quarnel host on a small DSAA map.
#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::CliResult;
using testkit::RunCliLine;

class CliEvaluate : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quarnel_cli_evaluate_" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        // 3 rows x 4 columns of unit cells, north row first: 1 2 3 4 / 5 6 7 8 / 9 10 11 blank.
        // DSAA lists the southern row first.
        Write("map.grd", "DSAA\n4 3\n0.5 3.5\n0.5 2.5\n1 11\n9 10 11 99999\n5 6 7 8\n1 2 3 4\n");
        Write("mask.grd", "DSAA\n3 3\n0.5 2.5\n0.5 2.5\n0 1\n1 1 1\n1 1 1\n1 1 1\n");
        // Deposits on the cells scoring 4, 6 and 11, one on the blank cell, one outside.
        Write("deposits.csv", "name,x,y\na,3.5,2.5\nb,1.5,1.5\nc,2.5,0.5\nd,3.5,0.5\ne,10,10\n");
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }
    void Write(const std::string& name, const std::string& text) const { std::ofstream(Path(name)) << text; }
    nlohmann::json Json(const std::string& arguments) const {
        // Standard error apart: a library's warning must not spoil the JSON object.
        const CliResult r = RunCliLine(arguments + " --json", {.separateErrors = true});
        return nlohmann::json::parse(r.output, nullptr, false);
    }

    std::filesystem::path folder_;
};

TEST_F(CliEvaluate, ResultsOfASmallMapAreTheHandWorkedOnes) {
    const nlohmann::json out = Json("evaluate " + Path("map.grd") + " " + Path("deposits.csv"));
    ASSERT_TRUE(out.value("ok", false)) << out.dump();
    const nlohmann::json& r = out["results"];
    EXPECT_EQ(r["rows"], 3);
    EXPECT_EQ(r["cols"], 4);
    EXPECT_EQ(r["cells"], 11);
    EXPECT_EQ(r["deposits"], nlohmann::json({{"read", 5},
                                             {"no_geometry", 0},
                                             {"not_a_point", 0},
                                             {"bad_rows", 0},
                                             {"outside", 1},
                                             {"on_invalid_cells", 1}}));
    // Deposit scores 4, 6, 11 against 1 2 3 5 7 8 9 10: 3 + 4 + 8 of 24 pairs.
    EXPECT_DOUBLE_EQ(r["roc"]["auc"].get<double>(), 15.0 / 24);
    EXPECT_EQ(r["success_rate"]["deposits"], 3);
    // Ranked 11 10 9 8 7 6 ...: the second deposit comes in with the sixth cell, so half of the
    // three is captured halfway through it.
    EXPECT_DOUBLE_EQ(r["success_rate"]["area_for_50"].get<double>(), 5.5 / 11);
    // Precision at each deposit cell's score: 1 of 1, 2 of 6, 3 of 8 cells.
    EXPECT_DOUBLE_EQ(r["precision_recall"]["average_precision"].get<double>(), (1 + 2.0 / 6 + 3.0 / 8) / 3);
    // At 7 a third of the deposits in 5/11 of the area, at 6 two thirds in 6/11: rate = 1 - area
    // halfway between them.
    const nlohmann::json& crossing = r["prediction_area"]["crossing"];
    EXPECT_NEAR(crossing["threshold"].get<double>(), 6.5, 1e-12);
    EXPECT_NEAR(crossing["prediction_rate"].get<double>(), 0.5, 1e-12);
    EXPECT_NEAR(crossing["area_share"].get<double>(), 0.5, 1e-12);
    EXPECT_TRUE(r["probability"]["log_loss"].is_null());  // scores 1 .. 11 are no probabilities

    const CliResult text = RunCliLine("evaluate " + Path("map.grd") + " " + Path("deposits.csv"));
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.output.find("ROC: AUC 0.6250"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("5 read, 3 on valid cells, 1 outside the map, 1 on no-data or masked cells"),
              std::string::npos)
        << text.output;
}

TEST_F(CliEvaluate, FailuresNameTheFileAndExitWithStatusOne) {
    const struct {
        const char* what;
        std::string arguments;
        int status;
        std::string cause;
    } cases[] = {
        {"missing map", "evaluate " + Path("none.grd") + " " + Path("deposits.csv"), 1, Path("none.grd")},
        {"missing deposits", "evaluate " + Path("map.grd") + " " + Path("none.csv"), 1, Path("none.csv")},
        {"mask of another shape",
         "evaluate " + Path("map.grd") + " " + Path("deposits.csv") + " --mask " + Path("mask.grd"), 2,
         Path("mask.grd") + ": 3 x 3 cells, but " + Path("map.grd") + " has 3 x 4"},
        {"unwritable CSV folder",
         "evaluate " + Path("map.grd") + " " + Path("deposits.csv") + " --csv " + Path("map.grd"), 3,
         Path("map.grd")},
        {"picture of another kind", "plot " + Path("map.grd") + " -o " + Path("map.gif"), 3, ".png or .svg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CliResult r = RunCliLine(c.arguments + " --json");
        EXPECT_EQ(r.exitCode, 1);
        const nlohmann::json out = nlohmann::json::parse(r.output, nullptr, false);
        EXPECT_EQ(out.value("status", -1), c.status) << r.output;
        EXPECT_NE(out.value("cause", "").find(c.cause), std::string::npos) << r.output;
    }
    // Refused by the parser: a holdout with folds, a share above 1.
    EXPECT_EQ(
        RunCliLine("evaluate " + Path("map.grd") + " " + Path("deposits.csv") + " --holdout 0.3 --folds 3")
            .exitCode,
        1);
    EXPECT_EQ(
        RunCliLine("evaluate " + Path("map.grd") + " " + Path("deposits.csv") + " --holdout 1.5").exitCode,
        1);
    EXPECT_TRUE(std::filesystem::exists(Path("map.grd")));
}

TEST_F(CliEvaluate, PlotDrawsTheMapAndPlotCurvesTheEvaluations) {
    const nlohmann::json drawn =
        Json("plot " + Path("map.grd") + " -o " + Path("map.png") + " --deposits " + Path("deposits.csv"));
    ASSERT_TRUE(drawn.value("ok", false)) << drawn.dump();
    EXPECT_EQ(drawn["results"]["deposits_drawn"], 4);
    EXPECT_EQ(drawn["results"]["deposits_outside"], 1);
    cairo_surface_t* png = cairo_image_surface_create_from_png(Path("map.png").c_str());
    EXPECT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(png), drawn["results"]["width"].get<int>());
    cairo_surface_destroy(png);

    for (const char* name : {"a", "b"}) {
        const CliResult r =
            RunCliLine("evaluate " + Path("map.grd") + " " + Path("deposits.csv") + " --holdout 0.5 --json");
        ASSERT_EQ(r.exitCode, 0) << r.output;
        testkit::WriteFile(Path(std::string(name) + ".json"), r.output);
    }
    const nlohmann::json curves = Json("plot-curves " + Path("a.json") + " " + Path("b.json") + " -o " +
                                       Path("rate.svg") + " --kind prediction-rate --name one");
    ASSERT_TRUE(curves.value("ok", false)) << curves.dump();
    EXPECT_EQ(curves["results"]["curves"][0]["name"], "one");
    EXPECT_EQ(curves["results"]["curves"][1]["name"], "map");
    EXPECT_TRUE(std::filesystem::exists(Path("rate.svg")));
    const nlohmann::json pa =
        Json("plot-curves " + Path("a.json") + " -o " + Path("pa.png") + " --kind prediction-area");
    ASSERT_TRUE(pa.value("ok", false)) << pa.dump();
    EXPECT_NEAR(pa["results"]["curves"][0]["crossing"]["threshold"].get<double>(), 6.5, 1e-12);
    const nlohmann::json pr =
        Json("plot-curves " + Path("a.json") + " -o " + Path("pr.png") + " --kind precision-recall");
    ASSERT_TRUE(pr.value("ok", false)) << pr.dump();
    EXPECT_DOUBLE_EQ(pr["results"]["curves"][0]["area"].get<double>(), (1 + 2.0 / 6 + 3.0 / 8) / 3);
    const nlohmann::json refused = Json("plot-curves " + Path("deposits.csv") + " -o " + Path("x.png"));
    EXPECT_EQ(refused.value("status", -1), 1);
    EXPECT_FALSE(std::filesystem::exists(Path("x.png")));
}

}  // namespace
}  // namespace quarnel
