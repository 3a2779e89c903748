// Bad inputs for qelFeater: the parameter file, the evidence grids, the model-unit file and the
// report and score-grid paths, through the export and the host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "jobs/feature/feature_status.h"
#include "jobs/frame/quarnel.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

constexpr const char* kAu = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 5 6\n";
constexpr const char* kCu = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n0 1 2\n0.2 99999 3\n";
constexpr const char* kUnits = "units 2\n1 0 0 3\n2 1 2 5\n";

// A job's files in one folder, named in the parameter file by absolute path.
struct Job {
    explicit Job(const TempFolder& folder) : dir(folder) {}

    std::string Params() const {
        return "QelFrmFeater 2\nAu 1.5 3 " + grids[0] + "\nCu 0.5 1 " + grids[1] + "\n1 " + units + "\n0 " +
               score + " " + report + "\n";
    }
    std::vector<std::string> Inputs() const { return {params, grids[0], grids[1], units}; }

    const TempFolder& dir;
    std::string params = dir / "params.txt";
    std::vector<std::string> grids = {dir / "au.grd", dir / "cu.grd"};
    std::string units = dir / "units.txt";
    std::string score = dir / "score.grd";
    std::string report = dir / "report.txt";
};

void WriteValid(Job& job) {
    WriteFile(job.grids[0], kAu);
    WriteFile(job.grids[1], kCu);
    WriteFile(job.units, kUnits);
    WriteFile(job.params, job.Params());
}

// Statuses the job returns before it creates the report; 3000 also comes after it, when the
// score grid cannot be created.
bool BeforeReport(int code) {
    return code == kFeatureFileUnavailable || code == kFeatureBadKeyword || code == kFeatureParamsRefused ||
           code == kFeatureReportUnwritten;
}

struct FeatureCase {
    const char* name;
    std::function<void(Job&)> make;  // changes the valid job
    int status;
    bool afterReport = false;  // a failure the job meets after it created the report
};

std::function<void(Job&)> Params(std::string bytes) {
    return [=](Job& job) { WriteFile(job.params, bytes); };
}
std::function<void(Job&)> Grid(std::string bytes) {
    return [=](Job& job) { WriteFile(job.grids[1], bytes); };
}
std::function<void(Job&)> Units(std::string bytes) {
    return [=](Job& job) { WriteFile(job.units, bytes); };
}
template <class Change>
std::function<void(Job&)> Rename(Change change) {
    return [=](Job& job) {
        change(job);
        WriteFile(job.params, job.Params());
    };
}

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

const std::vector<FeatureCase>& Cases() {
    static const std::string tail = "\n0 none\n0 s.grd r.txt\n";
    static const std::vector<FeatureCase> cases = {
        {"Valid", [](Job&) {}, kFeatureOk},
        // The parameter file.
        {"ParamsMissing", [](Job& job) { std::remove(job.params.c_str()); }, kFeatureFileUnavailable},
        {"ParamsEmpty", Params(""), kFeatureBadKeyword},
        {"ParamsDirectory",
         [](Job& job) {
             std::remove(job.params.c_str());
             mkdir(job.params.c_str(), 0755);
         },
         kFeatureFileUnavailable},
        {"ParamsCutInKeyword", Params("QelFrm"), kFeatureBadKeyword},
        {"ParamsCutInVariable", Params("QelFrmFeater 2\nAu 1.5"), kFeatureParamsRefused},
        {"ParamsCutBeforeReport", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 s.grd"), kFeatureParamsRefused},
        {"ParamsGarbage", Params(Garbage(4096, 11)), kFeatureBadKeyword},
        {"ParamsOverlongKeyword", Params("QelFrmFeater" + Repeat('r', 100000) + " 1"), kFeatureParamsRefused},
        {"ParamsOverlongName", Params("QelFrmFeater 1\n" + Repeat('n', 100) + " 1 2 g" + tail),
         kFeatureParamsRefused},
        {"ParamsOverlongGridPath", Params("QelFrmFeater 1\nAu 1 2 " + Repeat('g', 100) + tail),
         kFeatureParamsRefused},
        {"ParamsOverlongReportPath", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 s.grd " + Repeat('r', 5000)),
         kFeatureParamsRefused},
        {"ParamsOverlongUnitPath",
         Params("QelFrmFeater 1\nAu 1 2 g\n0 " + Repeat('u', 200) + "\n0 s.grd r.txt\n"),
         kFeatureParamsRefused},
        {"ParamsOverlongScorePath",
         Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 " + Repeat('s', 200) + " r.txt\n"),
         kFeatureParamsRefused},
        // Output paths longer than the 99 characters of a grid path, within their own 199.
        {"ParamsLongOutputPaths", Rename([](Job& job) {
             job.score = job.dir / Repeat('s', 100);
             job.report = job.dir / Repeat('r', 100);
         }),
         kFeatureOk},
        {"ParamsOverlongNumber", Params("QelFrmFeater 1\nAu " + Repeat('1', 5000) + " 2 g" + tail),
         kFeatureParamsRefused},
        {"ParamsZeroVariables", Params("QelFrmFeater 0" + tail), kFeatureParamsRefused},
        {"ParamsNegativeVariables", Params("QelFrmFeater -1" + tail), kFeatureParamsRefused},
        {"ParamsFiftyOneVariables", Params("QelFrmFeater 51" + tail), kFeatureParamsRefused},
        {"ParamsVariablesOverflow32Bits", Params("QelFrmFeater 4294967297" + tail), kFeatureParamsRefused},
        {"ParamsUnknownMethod", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n2 s.grd r.txt\n"),
         kFeatureParamsRefused},
        {"ParamsNanThresholds",
         [](Job& job) {
             std::string text = job.Params();
             text.replace(text.find("1.5 3"), 5, "nan nan");
             WriteFile(job.params, text);
         },
         kFeatureOk},
        {"ParamsCrlf", [](Job& job) { WriteFile(job.params, WithCrlf(job.Params())); }, kFeatureOk},
        {"ParamsGbkPaths", Rename([](Job& job) {
             mkdir((job.dir / kGbkName).c_str(), 0755);
             job.grids[0] = job.dir / kGbkName + "/" + kGbkName + ".grd";
             WriteFile(job.grids[0], kAu);
             job.report = job.dir / kGbkName + "/" + kGbkName + ".txt";
         }),
         kFeatureOk},
        // The evidence grids.
        {"GridMissing", [](Job& job) { std::remove(job.grids[1].c_str()); }, kFeatureGridUnopened + 1},
        {"GridDirectory",
         [](Job& job) {
             std::remove(job.grids[1].c_str());
             mkdir(job.grids[1].c_str(), 0755);
         },
         kFeatureGridUnopened + 1},
        {"GridEmpty", Grid(""), kFeatureMalformedInput},
        {"GridCutInHeader", Grid(std::string(kCu).substr(0, 15)), kFeatureMalformedInput},
        {"GridCutInValues", Grid(std::string(kCu).substr(0, std::string(kCu).size() - 3)),
         kFeatureMalformedInput},
        {"GridGarbage", Grid(Garbage(4096, 12)), kFeatureMalformedInput},
        {"GridOverlongWord", Grid(Repeat('K', 100000) + " 2 3 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeatureParamsRefused, true},
        {"GridOverlongValue", Grid("KVSGDA01 2 3 0 1 0 1 0 1 99999\n0 1 2\n0 1 " + Repeat('3', 5000) + "\n"),
         kFeatureMalformedInput},
        {"GridNegativeCounts", Grid("KVSGDA01 -2 -3 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeatureMalformedInput},
        {"GridZeroCounts", Grid("KVSGDA01 0 0 0 1 0 1 0 1 99999\n"), kFeatureMalformedInput},
        {"GridCountsOverflow32Bits", Grid("KVSGDA01 65536 65536 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeatureMalformedInput},
        {"GridSizeBeyondFile", Grid("KVSGDA01 1000 1000 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeatureMalformedInput},
        {"GridOtherShape", Grid("KVSGDA01 3 2 0 1 0 1 0 1 99999\n0 1\n2 0\n1 3\n"), kFeatureMalformedInput},
        {"GridNanAndInf", Grid("KVSGDA01 2 3 0 1 0 1 0 1 nan\nnan 1 inf\n-inf 1e999 3\n"),
         kFeatureMalformedInput},
        {"GridCrlf", Grid(WithCrlf(kCu)), kFeatureOk},
        // The model-unit file.
        {"UnitsMissing", [](Job& job) { std::remove(job.units.c_str()); }, kFeatureUnitFileUnopened},
        {"UnitsDirectory",
         [](Job& job) {
             std::remove(job.units.c_str());
             mkdir(job.units.c_str(), 0755);
         },
         kFeatureUnitFileUnopened},
        {"UnitsEmpty", Units(""), kFeatureMalformedInput},
        {"UnitsCutInRecord", Units("units 2\n1 0 0 3\n2 1"), kFeatureMalformedInput},
        {"UnitsGarbage", Units(Garbage(4096, 13)), kFeatureMalformedInput},
        {"UnitsOverlongTitle", Units(Repeat('u', 100000) + " 1\n1 0 0 3\n"), kFeatureParamsRefused, true},
        {"UnitsOverlongNumber", Units("units 1\n1 " + Repeat('0', 5000) + " 0 3\n"), kFeatureMalformedInput},
        {"UnitsNegativeCount", Units("units -1\n"), kFeatureMalformedInput},
        {"UnitsZeroCount", Units("units 0\n"), kFeatureNoWeights},
        {"UnitsCountOverflow32Bits", Units("units 4294967297\n1 0 0 3\n"), kFeatureMalformedInput},
        {"UnitsCountBeyondFile", Units("units 100000000\n1 0 0 3\n"), kFeatureMalformedInput},
        {"UnitsOutsideGrid", Units("units 2\n1 -5 -5 3\n2 2147483647 0 5\n"), kFeatureNoWeights},
        {"UnitsCrlf", Units(WithCrlf(kUnits)), kFeatureOk},
        // Outputs.
        {"ReportIsParams", Rename([](Job& job) { job.report = job.params; }), kFeatureParamsRefused},
        {"ReportIsGrid", Rename([](Job& job) { job.report = job.grids[1]; }), kFeatureParamsRefused},
        {"ScoreIsGridViaDot", Rename([](Job& job) { job.score = job.dir / "./au.grd"; }),
         kFeatureParamsRefused},
        {"ScoreIsUnits", Rename([](Job& job) { job.score = job.units; }), kFeatureParamsRefused},
        {"ScoreIsReport", Rename([](Job& job) { job.score = job.report; }), kFeatureParamsRefused},
        {"ReportInMissingFolder", Rename([](Job& job) { job.report = job.dir / "missing/r.txt"; }),
         kFeatureReportUnwritten},
        {"ScoreInMissingFolder", Rename([](Job& job) { job.score = job.dir / "missing/s.grd"; }),
         kFeatureFileUnavailable, true},
    };
    return cases;
}

void PrintTo(const FeatureCase& c, std::ostream* out) {
    *out << c.name;
}

class FeatureCatalogue : public ::testing::TestWithParam<FeatureCase> {
  protected:
    TempFolder dir_;
};

TEST_P(FeatureCatalogue, Job) {
    Job job(dir_);
    WriteValid(job);
    GetParam().make(job);
    const int expected = GetParam().status;
    Case run;
    for (const std::string& input : job.Inputs()) run.Input(input);
    const bool reportUntouched = BeforeReport(expected) && !GetParam().afterReport;
    for (const std::string& output : {job.score, job.report}) {
        bool isInput = false;
        for (const std::string& input : job.Inputs()) isInput = isInput || input == output;
        if (!isInput && (reportUntouched || output == job.score)) run.Untouched(output);
    }
    run.Written(job.report);
    run.Written(job.score);
    run.ExpectExport([&] { return qelFeater(job.params.c_str()); }, expected, expected == kFeatureOk);
    run.ExpectCli({"feature", job.params}, expected, expected == kFeatureOk, FeatureStatusText(expected));
}

INSTANTIATE_TEST_SUITE_P(BadInputs, FeatureCatalogue, ::testing::ValuesIn(Cases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FeatureCatalogueRuns, CrlfFilesGiveTheSameResult) {
    TempFolder dir;
    Job job(dir);
    WriteValid(job);
    ASSERT_EQ(qelFeater(job.params.c_str()), kFeatureOk);
    const std::string report = ReadFile(job.report);
    const std::string score = ReadFile(job.score);
    for (const std::string& input : job.Inputs()) WriteFile(input, WithCrlf(ReadFile(input)));
    ASSERT_EQ(qelFeater(job.params.c_str()), kFeatureOk);
    EXPECT_EQ(ReadFile(job.report), report);
    EXPECT_EQ(ReadFile(job.score), score);
}

}  // namespace
}  // namespace quarnel::hardening
