// The workflow library run as Python and the host run it, with no host started: what it refuses
// before writing anything, what it records when a step fails, is stopped or is killed, how it
// keeps a second run off its folder, and that paths with blanks or of 300 bytes work.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "geo_fixtures.h"
#include "quarnel/requests.h"
#include "tests/testkit/testkit.h"
#include "workflow/output_folder.h"
#include "workflow/report_figures.h"
#include "workflow/runner.h"

namespace quarnel::testing {
namespace {

namespace fs = std::filesystem;
namespace key = params::result;
using workflow::RunOptions;
using workflow::RunWorkflow;
using workflow::WorkflowError;

constexpr int kRows = 7;
constexpr int kCols = 5;

std::vector<double> Values(int seed) {
    std::vector<double> values;
    for (int i = 0; i < kRows * kCols; ++i) values.push_back(double((i * 37 + seed * 11) % 23));
    return values;
}

TiffFixture Grid(std::vector<std::vector<double>> bands) {
    TiffFixture tiff;
    tiff.rows = kRows;
    tiff.cols = kCols;
    tiff.geoTransform = {500000, 100, 0, 7000700, 0, -100};
    tiff.epsg = 28354;
    tiff.noData = 99999;
    tiff.bands = std::move(bands);
    return tiff;
}

// A district in folder: rasters a.tif and b.tif, five deposits, and a workflow file whose
// [bp], [hierarchy] and [feature] tables are the given text.
struct District {
    fs::path folder;
    fs::path file;

    District(const fs::path& where, const std::string& methods, const std::string& output = "out") {
        folder = where;
        fs::create_directories(folder);
        WriteTiff(folder / "a.tif", Grid({Values(1)}));
        WriteTiff(folder / "b.tif", Grid({Values(2)}));
        WriteText(folder / "deposits.csv",
                  "x,y\n500150,7000550\n500350,7000150\n500250,7000350\n500050,7000250\n500450,7000050\n");
        file = folder / "district.toml";
        WriteText(
            file,
            "output = \"" + output +
                "\"\n[deposits]\npath = \"deposits.csv\"\n"
                "[[layers]]\nname = \"a\"\nraster = \"a.tif\"\nprepare = \"normalize\"\n"
                "[[layers]]\nname = \"b\"\nraster = \"b.tif\"\nprepare = \"code\"\nlower = 5\nupper = 15\n" +
                methods);
    }
};

const std::string kEveryMethod =
    "[bp]\nmax_iterations = 20\nbackground = 3\n"
    "[hierarchy]\n[[hierarchy.levels]]\nlevel = \"geology\"\n"
    "elements = [{ layer = \"a\", importance = 2 }, { layer = \"b\" }]\n"
    "[feature]\n[[feature.variables]]\nlayer = \"a\"\nlower = 0.3\nupper = 0.6\n"
    "[[feature.variables]]\nlayer = \"b\"\nlower = -0.5\nupper = 0.5\n";

nlohmann::json Summary(const fs::path& out) {
    return nlohmann::json::parse(ReadText(out / "summary.json"));
}

// Every file the summary names as an output is there, and every map beside it is named.
void ExpectSummaryDescribesFolder(const fs::path& out) {
    const nlohmann::json summary = Summary(out);
    std::set<std::string> named;
    for (const auto& [step, entry] : summary.items())
        if (entry.is_object() && entry.contains(key::kOutputs))
            for (const std::string path : entry[key::kOutputs]) {
                EXPECT_TRUE(fs::exists(path)) << step << ": " << path;
                named.insert(fs::path(path).lexically_normal().string());
            }
    for (const char* map : {"bp/classes.tif", "hierarchy/prospectivity.tif", "feature/score.tif"})
        EXPECT_EQ(fs::exists(out / map), named.contains((out / map).lexically_normal().string())) << map;
}

TEST(WorkflowRun, WorksInAFolderWithBlanksAndAnOutputPathOf300Bytes) {
    testkit::TempFolder temp;
    fs::path deep = fs::path(temp / "my data") / "district with blanks";
    while (deep.string().size() < 300 - 40) deep /= "a folder of the district";
    const District district(deep, kEveryMethod);
    const fs::path out = deep / "my results";
    ASSERT_GE((out / "hierarchy/prospectivity.tif").string().size(), 300u);
    const workflow::RunResult run = RunWorkflow(district.file, {out, {}});
    EXPECT_TRUE(run.ok) << run.lines.back();
    EXPECT_TRUE(nlohmann::json::parse(run.summary.dump()) == Summary(out));  // the caller's is the file's
    for (const char* map : {"bp/classes.tif", "hierarchy/prospectivity.tif", "feature/score.tif"})
        EXPECT_EQ(ReadWithGdal((out / map).string()).geoTransform, Grid({}).geoTransform) << map;
    ExpectSummaryDescribesFolder(out);
    EXPECT_FALSE(fs::exists(deep / "out"));  // -o took the place of the file's output
    EXPECT_FALSE(fs::exists(out / "hierarchy/hierarchy.params"));
}

struct Refusal {
    const char* name;
    std::string methods;
    std::string cause;
    std::string layerB = "name = \"b\"\nraster = \"b.tif\"";
};

class Refusals : public ::testing::TestWithParam<Refusal> {};

// Each is refused naming the file, the line and the key, and no output folder is made.
TEST_P(Refusals, AreMadeBeforeAnythingIsWritten) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), GetParam().methods);
    std::string text = ReadText(district.file);
    const std::string b = "name = \"b\"\nraster = \"b.tif\"";
    text.replace(text.find(b), b.size(), GetParam().layerB);
    WriteText(district.file, text);
    WriteTiff(district.folder / "three.tif", Grid({Values(1), Values(2), Values(3)}));
    WriteTiff(district.folder / "blank.tif", Grid({std::vector<double>(kRows * kCols, 99999)}));
    try {
        RunWorkflow(district.file);
        ADD_FAILURE() << "accepted";
    } catch (const WorkflowError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().cause), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(district.folder / "out"));
    EXPECT_FALSE(fs::exists(district.folder / "escaped"));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Refusals,
    ::testing::Values(
        Refusal{"TinyImportance",
                "[hierarchy]\n[[hierarchy.levels]]\nlevel = \"geology\"\nimportance = 1e-12\n"
                "elements = [{ layer = \"a\" }]\n",
                "district.toml:17: hierarchy.levels[1].importance: must lie between 0.001 and 1000"},
        Refusal{"BackgroundBeyondTheCells", "[bp]\nbackground = 100000\n",
                "district.toml:15: bp.background: 100000 background cells asked, but the rasters hold only"},
        Refusal{"NoDepositOnData", "[bp]\n", "deposits.path: no deposit lies on a cell",
                "name = \"b\"\nraster = \"blank.tif\""},
        Refusal{"EscapingName", "", "layers[2].name: \"../../escaped\" is not a plain name",
                "name = \"../../escaped\"\nraster = \"b.tif\""},
        Refusal{"AbsoluteName", "", "is not a plain name", "name = \"/tmp/escaped\"\nraster = \"b.tif\""},
        Refusal{"MultiBandForHierarchy",
                "[hierarchy]\n[[hierarchy.levels]]\nlevel = \"geology\"\nelements = [{ layer = \"b\" }]\n",
                "layers[2].raster: has 3 bands", "name = \"b\"\nraster = \"three.tif\""},
        Refusal{
            "WindowBeyondTheGrid",
            "[[layers]]\nname = \"c\"\nraster = \"a.tif\"\nprepare = \"window-mean\"\nwindow = 50\n",
            "district.toml:18: layers[3].window: a window of 50 cells does not fit the grid of 7 x 5 cells"},
        Refusal{"UnknownKey", "[bp]\nhiden = 3\n", "district.toml:15: bp.hiden: not a key"}),
    [](const ::testing::TestParamInfo<Refusal>& row) { return std::string(row.param.name); });

TEST(WorkflowRun, RefusesToWriteAnOutputOverItsInput) {
    // The layer "breccia" prepared into layers/breccia.tif, which is its own raster.
    testkit::TempFolder temp;
    const fs::path folder = temp / "d";
    fs::create_directories(folder / "layers");
    WriteTiff((folder / "layers/breccia.tif").string(), Grid({Values(1)}));
    const std::string before = ReadText(folder / "layers/breccia.tif");
    WriteText(folder / "w.toml",
              "output = \".\"\n[[layers]]\nname = \"breccia\"\nraster = \"layers/breccia.tif\"\n"
              "prepare = \"code\"\nlower = 5\nupper = 15\n");
    try {
        RunWorkflow(folder / "w.toml");
        ADD_FAILURE() << "accepted";
    } catch (const WorkflowError& error) {
        EXPECT_NE(
            std::string(error.what()).find("w.toml:4: layers[1].raster: the run would write its output"),
            std::string::npos)
            << error.what();
    }
    EXPECT_EQ(ReadText(folder / "layers/breccia.tif"), before);
}

TEST(WorkflowRun, TakesEveryBandOfAMultiBandLayerAsABpInput) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), "[bp]\nmax_iterations = 5\nbackground = 4\n");
    WriteTiff(district.folder / "b.tif", Grid({Values(2), Values(3), Values(4)}));
    std::string text = ReadText(district.file);
    const std::string code = "prepare = \"code\"\nlower = 5\nupper = 15";
    text.replace(text.find(code), code.size(), "prepare = \"classes\"");
    WriteText(district.file, text);
    const workflow::RunResult run = RunWorkflow(district.file);
    ASSERT_TRUE(run.ok) << run.lines.front();
    EXPECT_EQ(run.summary[key::kBpTrain][key::kResults]["inputs"], 4);  // a's band and b's three
    // Every sample line holds four inputs and the target.
    const std::string samples = ReadText(district.folder / "out/bp/samples.txt");
    const std::string line = samples.substr(
        samples.find('\n') + 1, samples.find('\n', samples.find('\n') + 1) - samples.find('\n') - 1);
    EXPECT_EQ(std::count(line.begin(), line.end(), ' '), 4) << line;
}

// A feature analysis whose bounds code every cell 0 cannot form its weights at run time.
const std::string kFailingFeature =
    "[feature]\n[[feature.variables]]\nlayer = \"a\"\nlower = -1000\nupper = 1000\n";

TEST(WorkflowRun, RecordsAFailingStepRunsTheOthersAndWithdrawsItsEarlierOutputs) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), kEveryMethod);
    const fs::path out = district.folder / "out";
    ASSERT_TRUE(RunWorkflow(district.file).ok);
    ASSERT_TRUE(fs::exists(out / "feature/score.tif"));
    ASSERT_TRUE(fs::exists(out / "validation/feature.json"));

    std::string text = ReadText(district.file);
    text.replace(text.find("[feature]"), std::string::npos, kFailingFeature);
    text.erase(text.find("background = 3\n"), 15);
    WriteText(district.file, text);
    const workflow::RunResult run = RunWorkflow(district.file);
    EXPECT_FALSE(run.ok);
    EXPECT_FALSE(run.summary[key::kFeature][key::kStepOk]);
    EXPECT_NE(run.summary[key::kFeature][key::kCause].get<std::string>().find("weights"), std::string::npos);
    EXPECT_TRUE(run.summary[key::kBpClassify][key::kStepOk]);
    EXPECT_TRUE(run.summary[key::kHierarchy][key::kStepOk]);
    EXPECT_FALSE(run.summary[key::kValidation].contains("feature"));
    // The earlier run's map and validation are gone rather than shown beside the failure.
    EXPECT_FALSE(fs::exists(out / "feature/score.tif"));
    EXPECT_FALSE(fs::exists(out / "validation/feature.json"));
    EXPECT_FALSE(fs::exists(out / "validation/feature.png"));
    ExpectSummaryDescribesFolder(out);
    const std::string page = ReadText(out / "report.html");
    EXPECT_EQ(page.find("feature map"), std::string::npos);
    EXPECT_NE(page.find("<strong>Failed</strong> feature: "), std::string::npos);
    EXPECT_EQ(page.find("-1<"), std::string::npos);  // no internal code for a default
    EXPECT_NE(page.find("as many as deposit cells"), std::string::npos);
}

TEST(WorkflowRun, StoppedBetweenStepsRecordsTheRestAsStopped) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), kEveryMethod);
    int asked = 0;
    RunOptions options;
    options.progress = [&asked](const quarnel::ProgressStep& step) {
        return step.what != "step" || ++asked <= 3;  // the two layers and BP training
    };
    const workflow::RunResult run = RunWorkflow(district.file, options);
    EXPECT_FALSE(run.ok);
    EXPECT_TRUE(run.stopped);
    EXPECT_TRUE(run.summary[key::kBpTrain][key::kStepOk]);
    for (const std::string_view step : {key::kBpClassify, key::kHierarchy, key::kFeature})
        EXPECT_EQ(run.summary[std::string(step)][key::kCause], "stopped before it began") << step;
    ExpectSummaryDescribesFolder(district.folder / "out");
}

TEST(WorkflowRun, StoppedWithinAStepLeavesNothingOfIt) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), kEveryMethod);
    RunOptions options;
    options.progress = [](const quarnel::ProgressStep& step) { return step.what != "epoch"; };
    const workflow::RunResult run = RunWorkflow(district.file, options);
    EXPECT_TRUE(run.stopped);
    EXPECT_FALSE(run.summary[key::kBpTrain][key::kStepOk]);
    EXPECT_FALSE(fs::exists(district.folder / "out/bp/network.txt"));
    EXPECT_EQ(run.summary[key::kHierarchy][key::kCause], "stopped before it began");
    ExpectSummaryDescribesFolder(district.folder / "out");
}

TEST(WorkflowRun, AKillBetweenStepsLeavesNoSummaryOfAnEarlierRun) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), kEveryMethod);
    const fs::path out = district.folder / "out";
    ASSERT_TRUE(RunWorkflow(district.file).ok);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int asked = 0;
        RunOptions options;
        options.progress = [&asked](const quarnel::ProgressStep& step) {
            if (step.what == "step" && ++asked == 4)
                raise(SIGKILL);  // after BP training, before classification
            return true;
        };
        RunWorkflow(district.file, options);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(fs::exists(out / "summary.json"));
    EXPECT_FALSE(fs::exists(out / "report.html"));
    EXPECT_FALSE(fs::exists(out / "bp/classes.tif"));  // the earlier run's map, withdrawn
    EXPECT_TRUE(fs::exists(out / "bp/network.txt"));   // the killed run's own
    // The folder's lock ended with its process: the next run goes ahead.
    EXPECT_TRUE(RunWorkflow(district.file).ok);
    ExpectSummaryDescribesFolder(out);
}

TEST(WorkflowRun, ASecondRunOnTheFolderIsRefusedNamingTheFirst) {
    testkit::TempFolder temp;
    District district(fs::path(temp / "d"), kEveryMethod);
    // The first run, in a process of its own, waits between its steps until the second has tried.
    int started[2];
    int tried[2];
    ASSERT_EQ(pipe(started), 0);
    ASSERT_EQ(pipe(tried), 0);
    const pid_t first = fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        RunOptions options;
        options.progress = [&](const quarnel::ProgressStep&) {
            static bool waited = false;
            char byte = 0;
            if (!waited && write(started[1], "s", 1) == 1 && read(tried[0], &byte, 1) == 1) waited = true;
            return true;
        };
        _exit(RunWorkflow(district.file, options).ok ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(started[0], &byte, 1), 1);
    try {
        RunWorkflow(district.file);
        ADD_FAILURE() << "a second run went ahead";
    } catch (const WorkflowError& error) {
        EXPECT_NE(std::string(error.what()).find("in use by the run of process " + std::to_string(first)),
                  std::string::npos)
            << error.what();
    }
    ASSERT_EQ(write(tried[1], "t", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ExpectSummaryDescribesFolder(district.folder / "out");
    for (const int fd : {started[0], started[1], tried[0], tried[1]}) close(fd);
    // Within one process too: a folder held is refused.
    const workflow::OutputFolder held(district.folder / "out");
    EXPECT_THROW(RunWorkflow(district.file), WorkflowError);
}

// The report's classes of a raster, worked by hand on 2 x 5 cells of 10 m (the last no data):
// the top areas by rank with ties kept together, the shares of area and deposits per class with
// their ratio, and the legend's cumulative shares. (UTF-8 bytes of >= and <= as escapes: tests
// are compiled to GBK.)
TEST(ReportFigures, TopAreasShareTableAndCumulativeNames) {
    const double nan = std::nan("");
    geo::GridFrame frame;
    frame.rows = 2;
    frame.cols = 5;
    frame.geoTransform = {0, 10, 0, 20, 0, -10};
    const workflow::Classing top = workflow::TopAreas({10, 9, 8, 7, 6, 5, 4, 3, 2, nan});
    ASSERT_EQ(top.values.size(), 10u);
    EXPECT_EQ(std::vector<double>(top.values.begin(), top.values.end() - 1),
              (std::vector<double>{1, 2, 3, 4, 4, 4, 4, 4, 4}));
    EXPECT_TRUE(std::isnan(top.values.back()));
    ASSERT_EQ(top.classes.size(), 4u);
    EXPECT_EQ(top.classes[0].name, "top 11 % (\xe2\x89\xa5 10)");
    EXPECT_EQ(top.classes[2].name, "top 33 % (\xe2\x89\xa5 8)");
    EXPECT_EQ(top.classes[3].name, "the rest");
    // Deposits: training on cells 0 (class 1) and 5 (the rest), held out on cell 1 (class 2), on
    // the no-data cell and outside the grid (both left out).
    const std::vector<geo::Point> training = {{5, 15, "", 0}, {5, 5, "", 0}};
    const std::vector<geo::Point> heldOut = {{15, 15, "", 0}, {45, 5, "", 0}, {500, 5, "", 0}};
    const nlohmann::ordered_json table = workflow::ShareTable(top, frame, training, heldOut);
    ASSERT_EQ(table.size(), 5u);
    EXPECT_EQ(table[0].back(), "ratio");
    EXPECT_EQ(table[1][0], top.classes[0].name);
    EXPECT_NEAR(table[1][1].get<double>(), 100.0 / 9, 1e-9);  // area %
    EXPECT_NEAR(table[1][2].get<double>(), 50, 1e-9);         // training %
    EXPECT_NEAR(table[1][3].get<double>(), 4.5, 1e-9);
    EXPECT_NEAR(table[1][4].get<double>(), 0, 1e-9);  // held-out %
    EXPECT_NEAR(table[2][4].get<double>(), 100, 1e-9);
    EXPECT_NEAR(table[2][5].get<double>(), 9, 1e-9);
    EXPECT_NEAR(table[4][1].get<double>(), 600.0 / 9, 1e-9);
    EXPECT_NEAR(table[4][3].get<double>(), 0.75, 1e-9);
    const std::vector<plot::ClassName> names = workflow::CumulativeNames(top, frame, heldOut);
    EXPECT_EQ(names[0].name, "top 11 % \xe2\x86\x92 0 %");
    EXPECT_EQ(names[1].name, "top 22 % \xe2\x86\x92 100 %");
    // Tied scores share a class: 7 alone on top, every 5 in the second class, no third.
    const workflow::Classing tied = workflow::TopAreas({7, 5, 5, 5, 5, 5, 5, 5, 5, nan});
    ASSERT_EQ(tied.classes.size(), 3u);
    EXPECT_EQ(tied.classes[1].name, "top 100 % (\xe2\x89\xa5 5)");
    // A coded layer's classes, low values favourable.
    const std::vector<plot::ClassName> coded = workflow::CodedClasses(1, 2, true);
    EXPECT_EQ(coded[0].name, "favourable (\xe2\x89\xa4 1)");
    EXPECT_EQ(coded[2].name, "unfavourable (\xe2\x89\xa5 2)");
}

}  // namespace
}  // namespace quarnel::testing
