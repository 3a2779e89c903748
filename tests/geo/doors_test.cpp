// Each job through both doors on the same data: the design's grids in and out, and GeoTIFF in and
// out through the GDAL door, give the same values (the design's printed rounding aside), with the
// inputs' CRS, geotransform and no-data carried; and the workflow file's errors name their line.
#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/interrupt.h"
#include "geo/bp.h"
#include "geo/point_files.h"
#include "geo/points.h"
#include "geo_fixtures.h"
#include "tests/testkit/testkit.h"

namespace quarnel::testing {

using testkit::CliResult;
using testkit::RunCliLine;
namespace {

constexpr int kRows = 7;
constexpr int kCols = 5;
constexpr double kDsaaBlank = 99999;

// Values of an evidence grid, north-up: distinct, with one blank cell.
std::vector<double> Evidence(int seed, bool blank) {
    std::vector<double> values;
    for (int i = 0; i < kRows * kCols; ++i) values.push_back(double((i * 37 + seed * 11) % 23) + 0.25 * seed);
    if (blank) values[std::size_t(2 * kCols + 3)] = kDsaaBlank;
    return values;
}

// 100 m cells, the first column centred at x = 500050, the top row at y = 7000650.
TiffFixture GridOf(const std::vector<double>& values) {
    TiffFixture tiff;
    tiff.rows = kRows;
    tiff.cols = kCols;
    tiff.geoTransform = {500000, 100, 0, 7000700, 0, -100};
    tiff.epsg = 28354;
    tiff.noData = kDsaaBlank;
    tiff.bands = {values};
    return tiff;
}

// The same grid as DSAA (rows south first) and KVSGDA01 (the same order and blank).
void WriteDesignGrids(const testkit::TempFolder& folder, const std::string& name,
                      const std::vector<double>& values) {
    std::ostringstream dsaa;
    std::ostringstream kvsgda;
    dsaa << "DSAA\n" << kCols << " " << kRows << "\n500050 500450\n7000050 7000650\n0 30\n";
    kvsgda << "KVSGDA01\n" << kRows << " " << kCols << " 500050 500450\n7000050 7000650 0 30\n99999\n";
    for (int r = kRows - 1; r >= 0; --r) {
        for (int c = 0; c < kCols; ++c) {
            dsaa << values[std::size_t(r * kCols + c)] << " ";
            kvsgda << values[std::size_t(r * kCols + c)] << " ";
        }
        dsaa << "\n";
        kvsgda << "\n";
    }
    WriteText(folder / (name + ".grd"), dsaa.str());
    WriteText(folder / (name + ".kvsgda01.txt"), kvsgda.str());
    WriteTiff(folder / (name + ".tif"), GridOf(values));
}

// A design text grid's values (after skipping `header` tokens), north-up, blanks as NaN.
std::vector<double> DesignValues(const std::string& path, int header, int rows, int cols) {
    std::istringstream in(ReadText(path));
    std::string token;
    for (int i = 0; i < header && in >> token; ++i) {
    }
    std::vector<double> values(std::size_t(rows * cols));
    for (int r = rows - 1; r >= 0; --r)
        for (int c = 0; c < cols; ++c) {
            double v = 0;
            in >> v;
            values[std::size_t(r * cols + c)] = v == kDsaaBlank ? std::nan("") : v;
        }
    return values;
}

void ExpectSameValues(const std::vector<double>& design, const GdalBand& tiff, double tolerance) {
    ASSERT_EQ(design.size(), tiff.values.size());
    for (std::size_t i = 0; i < design.size(); ++i) {
        const bool noData = tiff.noData && tiff.values[i] == *tiff.noData;
        const bool nan = std::isnan(tiff.values[i]);
        EXPECT_EQ(std::isnan(design[i]), noData || nan) << "cell " << i;
        if (!std::isnan(design[i]) && !noData && !nan) {
            EXPECT_NEAR(design[i], tiff.values[i], tolerance) << "cell " << i;
        }
    }
}

class Doors : public ::testing::Test {
  protected:
    testkit::TempFolder folder;
    void SetUp() override {
        WriteDesignGrids(folder, "a", Evidence(1, true));
        WriteDesignGrids(folder, "b", Evidence(2, false));
        WriteText(folder / "net.txt", "2 2 1 0.5\n0.1 -0.2\n0.3\n0.5 -0.7\n-0.4 0.9\n1.5\n-2.0\n");
    }
    CliResult Run(const std::string& arguments) { return RunCliLine(arguments); }
};

// The input's no-data value (99999) is not carried: the result's no data is NaN.
TEST_F(Doors, NormalizeKeepsFrameNoDataAndValues) {
    ASSERT_EQ(Run("normalize " + folder / "a.grd" + " " + folder / "n.grd").exitCode, 0);
    const CliResult tiff = Run("normalize " + folder / "a.tif" + " " + folder / "n.tif");
    ASSERT_EQ(tiff.exitCode, 0) << tiff.output;
    const GdalBand out = ReadWithGdal(folder / "n.tif");
    EXPECT_EQ(out.geoTransform, GridOf({}).geoTransform);
    EXPECT_NE(out.crsWkt.find("GDA94 / MGA zone 54"), std::string::npos);
    ASSERT_TRUE(out.noData.has_value());
    EXPECT_TRUE(std::isnan(*out.noData));
    ExpectSameValues(DesignValues(folder / "n.grd", 9, kRows, kCols), out, 0.005);
}

TEST_F(Doors, WindowStatisticsCoverTheSameBlocks) {
    ASSERT_EQ(
        Run("window-stats " + folder / "a.grd" + " " + folder / "m.grd " + folder / "s.grd -w 2").exitCode,
        0);
    ASSERT_EQ(
        Run("window-stats " + folder / "a.tif" + " " + folder / "m.tif " + folder / "s.tif -w 2").exitCode,
        0);
    for (const char* name : {"m", "s"}) {
        const GdalBand out = ReadWithGdal(folder / (std::string(name) + ".tif"));
        ASSERT_EQ(out.rows, kRows / 2);
        // Blocks start at the south-west corner: the leftover row lies along the north edge.
        EXPECT_EQ(out.geoTransform, (std::array<double, 6>{500000, 200, 0, 7000600, 0, -200}));
        ExpectSameValues(DesignValues(folder / (std::string(name) + ".grd"), 9, kRows / 2, kCols / 2), out,
                         0.005);
    }
}

TEST_F(Doors, ClassificationGivesTheSameClasses) {
    ASSERT_EQ(
        Run("bp-classify " + folder / "net.txt " + folder / "c.grd " + folder / "a.grd " + folder / "b.grd")
            .exitCode,
        0);
    ASSERT_EQ(
        Run("bp-classify " + folder / "net.txt " + folder / "c.tif " + folder / "a.tif " + folder / "b.tif")
            .exitCode,
        0);
    std::vector<double> design = DesignValues(folder / "c.grd", 9, kRows, kCols);
    for (double& v : design)
        if (v == 1) v = std::nan("");  // class 1, no data in the first input, is the raster's no-data
    ExpectSameValues(design, ReadWithGdal(folder / "c.tif"), 0);
}

// With five background cells per deposit cell, training in file order pulled every output below
// 0.5 (one class, AUC 0.5); shuffled and balanced, the network's output must rank the cells.
TEST(DoorBp, FavourabilityOfCloncurryWithFiveTimesBackgroundIsNotConstant) {
    testkit::TempFolder folder;
    const std::string data = std::string(QUARNEL_SOURCE_DIR) + "/examples/cloncurry-100m/";
    std::vector<std::string> evidence;
    for (const char* layer : {"Dist2Breccia", "Dist2Fault", "FaultDensity", "StratNo"}) {
        evidence.push_back(folder / (std::string(layer) + ".tif"));
        ASSERT_EQ(std::system(("gdal_translate -q -srcwin 300 600 600 1000 " + data + layer + ".tif " +
                               evidence.back())
                                  .c_str()),
                  0);
    }
    const std::vector<geo::Point> deposits =
        geo::ReadPoints(data + "IOCG_Deposits.shp", ReadWithGdal(evidence.front()).crsWkt);
    geo::SampleOptions samples;
    samples.background = 1;
    const int depositCells =
        geo::MakeBpSamples(evidence, deposits, samples, "deposits", "background").count.deposits.cells;
    ASSERT_GT(depositCells, 10);
    samples.background = 5 * depositCells;
    geo::BpTrainOptions options;
    options.maxIterations = 200;
    const geo::BpTrainResult trained =
        geo::TrainBpOnRasters(evidence, deposits, samples, options, folder / "net.txt", "", "");
    EXPECT_EQ(trained.training.epochErrors.size(), 200u);
    EXPECT_NEAR(trained.training.meanSquaredError, 2 * trained.training.finalError / (6.0 * depositCells),
                1e-9);
    const geo::ClassifyResult classes =
        geo::ClassifyRasters(folder / "net.txt", evidence, folder / "c.tif", {}, {}, folder / "f.tif");
    EXPECT_GT(classes.classCounts.count(3), 0u);  // some cells favourable
    EXPECT_GT(classes.classCounts.count(2), 0u);  // and some not
    double low = 1;
    double high = 0;
    for (const double v : ReadWithGdal(folder / "f.tif").values)
        if (!std::isnan(v)) low = std::min(low, v), high = std::max(high, v);
    EXPECT_GE(low, 0);
    EXPECT_LE(high, 1);
    EXPECT_GT(high - low, 0.5);
}

TEST_F(Doors, MisalignedInputsAreRefusedWithBothNames) {
    TiffFixture shifted = GridOf(Evidence(2, false));
    shifted.geoTransform[0] += 50;
    WriteTiff(folder / "shifted.tif", shifted);
    const CliResult run = Run("bp-classify " + folder / "net.txt " + folder / "c.tif " + folder / "a.tif " +
                              folder / "shifted.tif");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("shifted.tif: origin 500050"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("a.tif has 500000"), std::string::npos) << run.output;
}

// Hierarchy prediction and feature analysis read KVSGDA01 or GeoTIFF grids named in one
// parameter file; the results as data must agree whole.
std::string JsonResults(const std::string& output) {
    const std::size_t at = output.find("\"results\"");
    return at == std::string::npos ? output : output.substr(at);
}

TEST_F(Doors, HierarchyPredictionAndFeatureAnalysisAgree) {
    for (const std::string ext : {".kvsgda01.txt", ".tif"}) {
        const std::string out = ext == ".tif" ? ".tif" : ".kvsgda01.txt";
        WriteText(folder / ("h" + ext + ".params"), "QELFrmDECOMPOSE 1 1 1 0 0 2 1 A 1 " +
                                                        folder / ("a" + ext) + " 1 1 B 1 " +
                                                        folder / ("b" + ext) + " " + folder / ("hp" + out) +
                                                        " " + folder / ("hr" + ext + ".txt"));
        WriteText(folder / ("f" + ext + ".params"),
                  "QelFrmFeater 2 A 5 12 " + folder / ("a" + ext) + " B 4 15 " + folder / ("b" + ext) +
                      " 0 none 1 " + folder / ("fs" + out) + " " + folder / ("fr" + ext + ".txt"));
    }
    const CliResult hDesign = Run("hierarchy --json " + folder / "h.kvsgda01.txt.params");
    const CliResult hTiff = Run("hierarchy --json " + folder / "h.tif.params");
    ASSERT_EQ(hTiff.exitCode, 0) << hTiff.output;
    // The grid's size is told once, when it is known.
    const std::string hText = Run("hierarchy " + folder / "h.tif.params").output;
    EXPECT_EQ(hText.find("0 x 0"), std::string::npos) << hText;
    EXPECT_NE(hText.find("predicted a grid of 7 x 5 cells"), std::string::npos) << hText;
    // The GDAL door adds the prediction's statistics after the grid's size.
    const std::string weights = JsonResults(hDesign.output);
    EXPECT_EQ(weights.substr(0, weights.find("\"grid\"")),
              JsonResults(hTiff.output).substr(0, weights.find("\"grid\"")));
    ExpectSameValues(DesignValues(folder / "hp.kvsgda01.txt", 10, kRows, kCols),
                     ReadWithGdal(folder / "hp.tif"), 0.005);
    const CliResult fDesign = Run("feature --json " + folder / "f.kvsgda01.txt.params");
    const CliResult fTiff = Run("feature --json " + folder / "f.tif.params");
    ASSERT_EQ(fTiff.exitCode, 0) << fTiff.output;
    EXPECT_EQ(JsonResults(fDesign.output), JsonResults(fTiff.output));
    ExpectSameValues(DesignValues(folder / "fs.kvsgda01.txt", 10, kRows, kCols),
                     ReadWithGdal(folder / "fs.tif"), 0.005);
}

// A stretch of the small grid over 20000 x 20000 cells: seconds of work for every GDAL-door
// job, a few hundred bytes on disk.
void WriteLargeRaster(const testkit::TempFolder& folder, const std::string& name) {
    WriteTiff(folder / "small.tif", GridOf(Evidence(1, false)));
    WriteText(folder / name,
              "<VRTDataset rasterXSize=\"20000\" rasterYSize=\"20000\">\n"
              "<GeoTransform>500000, 1, 0, 7000000, 0, -1</GeoTransform>\n"
              "<VRTRasterBand dataType=\"Float32\" band=\"1\"><SimpleSource>\n"
              "<SourceFilename relativeToVRT=\"1\">small.tif</SourceFilename><SourceBand>1</SourceBand>\n"
              "<SrcRect xOff=\"0\" yOff=\"0\" xSize=\"5\" ySize=\"7\"/>\n"
              "<DstRect xOff=\"0\" yOff=\"0\" xSize=\"20000\" ySize=\"20000\"/>\n"
              "</SimpleSource></VRTRasterBand></VRTDataset>\n");
}

class Interrupted : public ::testing::TestWithParam<const char*> {};

// SIGINT in the middle of a job (GDAL-door jobs, the trainings): it ends within a second with
// the stopped exit status, and the folder holds its inputs alone (the output's temporary withdrawn).
TEST_P(Interrupted, EndsWithinASecondWithNoOutput) {
    testkit::TempFolder folder;
    WriteLargeRaster(folder, "big.vrt");
    WriteText(folder / "net.txt", "2 2 1 0.5\n0.1 -0.2\n0.3\n0.5 -0.7\n-0.4 0.9\n1.5\n-2.0\n");
    std::string samples = "BP Training Sample File !!!\n";
    for (int s = 0; s < 2000; ++s)
        samples += std::to_string(s % 7 * 0.1) + " " + std::to_string(s % 3) + " 1\n";
    WriteText(folder / "s.txt", samples);
    std::string deposits = "x,y\n";
    for (int d = 0; d < 60; ++d)
        deposits +=
            std::to_string(500000 + d * 331 % 20000) + "," + std::to_string(6980000 + d * 797 % 20000) + "\n";
    WriteText(folder / "d.csv", deposits);
    // Deposits on a dozen of small.tif's 35 cells: a draw of no time, so a training is the slow part.
    std::string near = "x,y\n";
    for (int d = 0; d < 12; ++d)
        near +=
            std::to_string(500050 + d % kCols * 100) + "," + std::to_string(7000650 - d / kCols * 200) + "\n";
    WriteText(folder / "near.csv", near);
    std::string line = GetParam();
    for (std::size_t at; (at = line.find("@")) != std::string::npos;) line.replace(at, 1, folder / "");
    testkit::CliOptions options;
    options.interruptAfterMs = 1500;
    const CliResult run = RunCliLine(line, options);
    EXPECT_EQ(run.exitCode, cli::kStoppedExitStatus) << run.output;
    EXPECT_NE(run.output.find("stopped"), std::string::npos) << run.output;
    EXPECT_GE(run.msAfterInterrupt, 0);
    EXPECT_LT(run.msAfterInterrupt, 1000);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder / ""))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"big.vrt", "d.csv", "near.csv", "net.txt", "s.txt", "small.tif"}));
}

INSTANTIATE_TEST_SUITE_P(Jobs, Interrupted,
                         ::testing::Values("convert @big.vrt @out.tif", "normalize @big.vrt @out.tif",
                                           "window-stats @big.vrt @m.tif @s.tif -w 3",
                                           "bp-classify @net.txt @c.tif @big.vrt @big.vrt",
                                           "bp-train -s @s.txt -n @n.txt -r @r.txt -H 20 -m 100000000 -e 0",
                                           "wofe @big.vrt --deposits @d.csv --breaks big=5,10,15 "
                                           "--unit-area cell -o @out",
                                           "fuzzy @big.vrt -o @f.tif --membership linear:0,20",
                                           "samples @big.vrt --deposits @d.csv -o @samples.txt",
                                           "logistic @big.vrt @big.vrt --deposits @d.csv -o @l.tif",
                                           "trees @small.tif --deposits @near.csv --trees 100000 "
                                           "--folds 10 -o @t.tif"));

struct BadWorkflow {
    const char* text;
    const char* message;
};

class Workflows : public ::testing::TestWithParam<BadWorkflow> {};

TEST_P(Workflows, AreRefusedWithTheirLineAndKey) {
    testkit::TempFolder folder;
    WriteText(folder / "w.toml", GetParam().text);
    const CliResult run = RunCliLine("run " + folder / "w.toml");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find(GetParam().message), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Workflows,
    ::testing::Values(
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\ncolour = 1\n",
                    "w.toml:5: layers[1].colour: not a key"},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = 3\n",
                    "w.toml:4: layers[1].raster: not a string"},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\nprepare = \"smooth\"\n",
                    "w.toml:5: layers[1].prepare: must be one of classes, normalize, code"},
        BadWorkflow{
            "output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\n[feature]\nmodel_units = false\n"
            "[[feature.variables]]\nlayer = \"b\"\n",
            "no layer named \"b\""},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\n[bp]\nhidden = 0\n",
                    "w.toml:6: bp.hidden: must lie between 1 and 1000"},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\n[wofe]\n",
                    "w.toml:5: wofe: needs the [deposits]"},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\n[trees]\n",
                    "w.toml:5: trees: needs the [deposits]"},
        BadWorkflow{
            "output = \"o\"\n[[layers]]\nname = \"a\"\nraster = \"a.tif\"\n[trees]\nkind = \"bagging\"\n",
            "w.toml:6: trees.kind: must be one of boosting, forest"},
        BadWorkflow{"output = \"o\"\n[[layers]]\nname = \"a\"\nraster = "
                    "\"a.tif\"\n[wofe]\n[[wofe.evidence]]\nlayer = "
                    "\"a\"\ntype = \"rising\"\n",
                    "w.toml:8: wofe.evidence[1].type: must be one of categorical, ascending, descending"},
        BadWorkflow{"output = \"o\"\n[[layers]\n", "w.toml:2:"}));

// A map of one value ranks nothing: its validation fails (it once read AUC 0.5) and no verdict
// ranks it.
TEST(Workflow, AMapOfOneValueFailsItsValidation) {
    testkit::TempFolder folder;
    WriteTiff(folder / "flat.tif", GridOf(std::vector<double>(kRows * kCols, 4.0)));
    WriteText(folder / "deposits.csv", "x,y\n500150,7000550\n500350,7000150\n");
    WriteText(folder / "w.toml",
              "output = \"out\"\n[deposits]\npath = \"deposits.csv\"\n"
              "[[layers]]\nname = \"a\"\nraster = \"flat.tif\"\n"
              "[hierarchy]\n[[hierarchy.levels]]\nlevel = \"geology\"\n"
              "elements = [{ layer = \"a\" }]\n");
    RunCliLine("run " + folder / "w.toml");
    const nlohmann::json summary = nlohmann::json::parse(ReadText(folder / "out/summary.json"));
    EXPECT_TRUE(summary["hierarchy"]["ok"].get<bool>());
    EXPECT_FALSE(summary["validation_hierarchy"]["ok"].get<bool>());
    EXPECT_NE(summary["validation_hierarchy"]["cause"].get<std::string>().find("holds one value"),
              std::string::npos);
    EXPECT_TRUE(summary["validation"]["ranking"].empty());
}

// GBK bytes as UTF-8 by glibc's converter; empty when they do not decode.
std::string GbkAsUtf8(std::string gbk) {
    const iconv_t convert = iconv_open("UTF-8", "GBK");
    std::string utf8(gbk.size() * 2, '\0');
    char* in = gbk.data();
    char* out = utf8.data();
    std::size_t inLeft = gbk.size();
    std::size_t outLeft = utf8.size();
    const bool whole = iconv(convert, &in, &inLeft, &out, &outLeft) != std::size_t(-1) && inLeft == 0;
    iconv_close(convert);
    return whole ? utf8.substr(0, utf8.size() - outLeft) : std::string();
}

std::string Printed(const char* format, const nlohmann::json& value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value.get<double>());
    return text;
}

TEST(Workflow, RunsEveryMethodOnRastersAndPoints) {
    testkit::TempFolder folder;
    WriteTiff(folder / "a.tif", GridOf(Evidence(1, true)));
    WriteTiff(folder / "b.tif", GridOf(Evidence(2, false)));
    WriteText(
        folder / "deposits.csv",
        "x,y\n500150,7000550\n500350,7000150\n500250,7000350\n500050,7000250\n500450,7000050\n900000,0\n");
    WriteText(folder / "w.toml",
              "output = \"out\"\n[deposits]\npath = \"deposits.csv\"\n"
              "[[layers]]\nname = \"a\"\nraster = \"a.tif\"\nprepare = \"normalize\"\n"
              "[[layers]]\nname = \"b\"\nraster = \"b.tif\"\nprepare = \"code\"\nlower = 5\nupper = 15\n"
              "[validation]\nholdout = 0.34\n"
              "[bp]\nmax_iterations = 20\nbackground = 3\n"
              "[hierarchy]\n[[hierarchy.levels]]\nlevel = \"geology\"\n"
              "elements = [{ layer = \"a\", importance = 2 }, { layer = \"b\" }]\n"
              "[feature]\n[[feature.variables]]\nlayer = \"a\"\nlower = 0.3\nupper = 0.6\n"
              "[[feature.variables]]\nlayer = \"b\"\nlower = -0.5\nupper = 0.5\n");
    const CliResult run = RunCliLine("run " + folder / "w.toml");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* map :
         {"out/bp/classes.tif", "out/hierarchy/prospectivity.tif", "out/feature/score.tif"}) {
        const GdalBand band = ReadWithGdal(folder / map);
        EXPECT_EQ(band.geoTransform, GridOf({}).geoTransform) << map;
    }
    const std::string summary = ReadText(folder / "out/summary.json");
    EXPECT_NE(summary.find("\"outside\": 1"), std::string::npos) << summary;  // the point at (900000, 0)
    // The hierarchy job's report of what the run did, in GBK (glibc's iconv decodes it): the
    // regular-grid target, and the consistency ratio and total weights summary.json holds.
    const std::string hierarchyReport = GbkAsUtf8(ReadText(folder / "out/hierarchy/report.txt"));
    const nlohmann::json hierarchy = nlohmann::json::parse(summary)["hierarchy"]["results"];
    // UTF-8 of the target line (目的层：找矿预测（规则网格）) and of the grid's rows (输入数据的行数为).
    const std::string target =
        "\xe7\x9b\xae\xe7\x9a\x84\xe5\xb1\x82\xef\xbc\x9a\xe6\x89\xbe\xe7\x9f\xbf\xe9\xa2\x84\xe6\xb5\x8b\xef"
        "\xbc\x88\xe8\xa7\x84\xe5\x88\x99\xe7\xbd\x91\xe6\xa0\xbc\xef\xbc\x89";
    const std::string gridRows =
        "\xe8\xbe\x93\xe5\x85\xa5\xe6\x95\xb0\xe6\x8d\xae\xe7\x9a\x84\xe8\xa1\x8c\xe6\x95\xb0\xe4\xb8\xba";
    for (const std::string& line : {target, gridRows + std::to_string(kRows),
                                    Printed(" CR(0-1)=%6.2f", hierarchy["matrices"][0]["consistency_ratio"]),
                                    Printed("  %10.3f\n", hierarchy["total_weights_percent"]["a"]),
                                    Printed("  %10.3f\n", hierarchy["total_weights_percent"]["b"])})
        EXPECT_NE(hierarchyReport.find(line), std::string::npos) << line << "\n" << hierarchyReport;
    // So is feature analysis': its weights as summary.json has them, and the job's closing.
    const std::string featureReport = GbkAsUtf8(ReadText(folder / "out/feature/report.txt"));
    const nlohmann::json featureWeights = nlohmann::json::parse(summary)["feature"]["results"]["weights"];
    for (const std::string& line :
         {Printed("%7.2f", featureWeights["a"]) + Printed("%7.2f", featureWeights["b"]) + "\n\n",
          std::string(" Ok\n")})
        EXPECT_NE(featureReport.find(line), std::string::npos) << line << "\n" << featureReport;
    EXPECT_NE(summary.find("\"prediction_rate\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"average_precision\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"crossing\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"sharing_a_cell\": 0"), std::string::npos) << summary;

    // A browser loads the page from disk: every section there, every picture inline and decoded
    // (a copy of the page gets a line of script that lists the pictures' natural widths), nothing
    // fetched, no console message, and a screenshot that is not blank.
    std::string page = ReadText(folder / "out/report.html");
    EXPECT_EQ(page.find("http"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    // Both reports, as UTF-8: the hierarchy one by its target line.
    EXPECT_NE(page.find("Report report.txt"), page.rfind("Report report.txt"));
    EXPECT_NE(page.find(target), std::string::npos);
    for (const char* heading :
         {"<h2>Inputs</h2>", "<h2>Methods</h2>", "<h2>Validation</h2>", "BP network", "Hierarchy analysis",
          "Feature analysis", "training_result.txt", "<polyline",
          // The grid heading: CRS, EPSG code, extent and cell size with their unit.
          "<dt>EPSG</dt><dd>EPSG:28354</dd>", "x 500000 to 500500, y 7000000 to 7000700 metre",
          "<dt>cell size</dt><dd>100 &times; 100 metre</dd>",
          // Layer b coded at 5 and 15: its classes named by the bounds (UTF-8 of >= and <=).
          "favourable (\xe2\x89\xa5 15)", "unfavourable (\xe2\x89\xa4 5)", "held-out deposits %",
          "hierarchy target areas", "favourable (output &gt; 0.5)"})
        EXPECT_NE(page.find(heading), std::string::npos) << heading;
    // Paths are given from the report's folder.
    EXPECT_EQ(page.find(folder / "out/"), std::string::npos);
    EXPECT_NE(page.find("layers/b.tif"), std::string::npos);
    page.insert(page.rfind("</body>"),
                "<script>onload=()=>{const b=document.body,t=document.querySelector('table');"
                "b.setAttribute('data-widths',[...document.images].map(i=>i.naturalWidth).join(' '));"
                "b.setAttribute('data-first',t.id);b.setAttribute('data-scroll',"
                "document.documentElement.scrollWidth);b.setAttribute('data-verdict',[...t.rows].slice(1)"
                ".map(r=>[...r.cells].map(c=>c.textContent).join('|')).join(';'));"
                // Every decimal number outside code and the GBK reports, with more than four
                // significant digits.
                "const c=b.cloneNode(true);c.querySelectorAll('pre,code,script').forEach(e=>e.remove());"
                "const words=[...c.querySelectorAll('*')].flatMap(e=>[...e.childNodes]"
                ".filter(n=>n.nodeType==3).map(n=>n.data)).join(' ');"
                "b.setAttribute('data-long',(words.match(/[0-9]*[.][0-9]+/g)||[])"
                ".filter(n=>n.replace('.','').replace(/^0+/,'').length>4).join(' '))}</script>");
    WriteText(folder / "check.html", page);
    const std::string browser =
        "chromium --headless --no-sandbox --disable-gpu --enable-logging=stderr --v=0 ";
    ASSERT_EQ(std::system((browser + "--window-size=1000,800 --dump-dom file://" + (folder / "check.html") +
                           " >" + (folder / "dom.html") + " 2>" + (folder / "console.txt"))
                              .c_str()),
              0);
    const std::string dom = ReadText(folder / "dom.html");
    const std::size_t at = dom.find("data-widths=\"");
    ASSERT_NE(at, std::string::npos) << dom.substr(0, 300);
    std::istringstream widths(dom.substr(at + 13, dom.find('"', at + 13) - at - 13));
    int images = 0;
    for (int width = 0; widths >> width; ++images) EXPECT_GT(width, 0) << "picture " << images;
    // The layers, the three maps and their target areas, ROC, success and prediction rates,
    // precision-recall, and the three maps' prediction-area plots.
    EXPECT_EQ(images, 2 + 3 + 3 + 3 + 1 + 3);
    // The verdict is the first table, its numbers summary.json's ranking, and nothing is wider
    // than a 1000 px window.
    const auto attribute = [&](const std::string& name) {
        const std::size_t from = dom.find(name + "=\"");
        return from == std::string::npos
                   ? std::string("?")
                   : dom.substr(from + name.size() + 2,
                                dom.find('"', from + name.size() + 2) - from - name.size() - 2);
    };
    EXPECT_EQ(attribute("data-first"), "verdict");
    EXPECT_EQ(attribute("data-long"), "");
    EXPECT_LE(std::stoi(attribute("data-scroll")), 1000);
    const nlohmann::json ranking = nlohmann::json::parse(summary)["validation"]["ranking"];
    ASSERT_FALSE(ranking.empty());
    std::istringstream rows(attribute("data-verdict"));
    const auto fixed = [](const nlohmann::json& v, const char* format) {
        char text[32];
        std::snprintf(text, sizeof text, format, v.get<double>());
        return std::string(text);
    };
    std::string row;
    for (std::size_t r = 0; std::getline(rows, row, ';'); ++r) {
        ASSERT_LT(r, ranking.size());
        const nlohmann::json& expected = ranking[r];
        std::vector<std::string> cells;
        std::istringstream split(row);
        for (std::string cell; std::getline(split, cell, '|');) cells.push_back(cell);
        ASSERT_EQ(cells.size(), 7u) << row;
        EXPECT_EQ(cells[1], expected["method"].get<std::string>());
        EXPECT_EQ(cells[2], fixed(expected["auc"], "%.3f"));
        EXPECT_EQ(cells[4], fixed(expected["prediction_rate_area"], "%.3f"));
        if (r > 0 && expected["p_vs_best"].is_number()) {
            EXPECT_EQ(cells[6], fixed(expected["p_vs_best"], "%.2g"));
        }
        if (expected["auc_low"].is_number()) {
            EXPECT_EQ(cells[3].substr(0, 5), fixed(expected["auc_low"], "%.3f"));
        }
    }
    EXPECT_EQ(ReadText(folder / "console.txt").find("CONSOLE"), std::string::npos)
        << ReadText(folder / "console.txt");
    ASSERT_EQ(std::system((browser + "--window-size=1000,1400 --screenshot=" + (folder / "shot.png") +
                           " file://" + (folder / "out/report.html") + " >/dev/null 2>&1")
                              .c_str()),
              0);
    const GdalBand shot = ReadWithGdal(folder / "shot.png");
    EXPECT_EQ(shot.cols, 1000);
    EXPECT_NE(*std::min_element(shot.values.begin(), shot.values.end()),
              *std::max_element(shot.values.begin(), shot.values.end()));
}

}  // namespace
}  // namespace quarnel::testing
