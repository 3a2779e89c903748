// Bad inputs for qelFeater: the parameter file, the evidence grids, the model-unit file and the
// report and score-grid paths, through the export and the host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "feature/feater_status.h"
#include "frame/quarnel.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

constexpr const char* kAu = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 5 6\n";
constexpr const char* kCu = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n0 1 2\n0.2 99999 3\n";
constexpr const char* kUnits = "units 2\n1 0 0 3\n2 1 2 5\n";

// A job's files in one folder, named in the parameter file by absolute path.
struct Job {
    explicit Job(const TempDir& dir) : dir(dir) {}

    std::string Params() const {
        return "QelFrmFeater 2\nAu 1.5 3 " + grids[0] + "\nCu 0.5 1 " + grids[1] + "\n1 " + units + "\n0 " +
               score + " " + report + "\n";
    }
    std::vector<std::string> Inputs() const { return {params, grids[0], grids[1], units}; }

    const TempDir& dir;
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
    return code == kFeaterFileUnavailable || code == kFeaterBadKeyword || code == kFeaterParamsRefused ||
           code == kFeaterReportUnwritten;
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
        {"Valid", [](Job&) {}, kFeaterOk},
        // The parameter file.
        {"ParamsMissing", [](Job& job) { std::remove(job.params.c_str()); }, kFeaterFileUnavailable},
        {"ParamsEmpty", Params(""), kFeaterBadKeyword},
        {"ParamsDirectory",
         [](Job& job) {
             std::remove(job.params.c_str());
             mkdir(job.params.c_str(), 0755);
         },
         kFeaterFileUnavailable},
        {"ParamsCutInKeyword", Params("QelFrm"), kFeaterBadKeyword},
        {"ParamsCutInVariable", Params("QelFrmFeater 2\nAu 1.5"), kFeaterParamsRefused},
        {"ParamsCutBeforeReport", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 s.grd"), kFeaterParamsRefused},
        {"ParamsGarbage", Params(Garbage(4096, 11)), kFeaterBadKeyword},
        {"ParamsOverlongKeyword", Params("QelFrmFeater" + Repeat('r', 100000) + " 1"), kFeaterParamsRefused},
        {"ParamsOverlongName", Params("QelFrmFeater 1\n" + Repeat('n', 100) + " 1 2 g" + tail),
         kFeaterParamsRefused},
        {"ParamsOverlongGridPath", Params("QelFrmFeater 1\nAu 1 2 " + Repeat('g', 100) + tail),
         kFeaterParamsRefused},
        {"ParamsOverlongReportPath", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 s.grd " + Repeat('r', 5000)),
         kFeaterParamsRefused},
        {"ParamsOverlongUnitPath",
         Params("QelFrmFeater 1\nAu 1 2 g\n0 " + Repeat('u', 200) + "\n0 s.grd r.txt\n"),
         kFeaterParamsRefused},
        {"ParamsOverlongScorePath",
         Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n0 " + Repeat('s', 200) + " r.txt\n"),
         kFeaterParamsRefused},
        // Output paths longer than the 99 characters of a grid path, within their own 199.
        {"ParamsLongOutputPaths", Rename([](Job& job) {
             job.score = job.dir / Repeat('s', 100);
             job.report = job.dir / Repeat('r', 100);
         }),
         kFeaterOk},
        {"ParamsOverlongNumber", Params("QelFrmFeater 1\nAu " + Repeat('1', 5000) + " 2 g" + tail),
         kFeaterParamsRefused},
        {"ParamsZeroVariables", Params("QelFrmFeater 0" + tail), kFeaterParamsRefused},
        {"ParamsNegativeVariables", Params("QelFrmFeater -1" + tail), kFeaterParamsRefused},
        {"ParamsFiftyOneVariables", Params("QelFrmFeater 51" + tail), kFeaterParamsRefused},
        {"ParamsVariablesOverflow32Bits", Params("QelFrmFeater 4294967297" + tail), kFeaterParamsRefused},
        {"ParamsUnknownMethod", Params("QelFrmFeater 1\nAu 1 2 g\n0 none\n2 s.grd r.txt\n"),
         kFeaterParamsRefused},
        {"ParamsNanThresholds",
         [](Job& job) {
             std::string text = job.Params();
             text.replace(text.find("1.5 3"), 5, "nan nan");
             WriteFile(job.params, text);
         },
         kFeaterOk},
        {"ParamsCrlf", [](Job& job) { WriteFile(job.params, WithCrlf(job.Params())); }, kFeaterOk},
        {"ParamsGbkPaths", Rename([](Job& job) {
             mkdir((job.dir / kGbkName).c_str(), 0755);
             job.grids[0] = job.dir / kGbkName + "/" + kGbkName + ".grd";
             WriteFile(job.grids[0], kAu);
             job.report = job.dir / kGbkName + "/" + kGbkName + ".txt";
         }),
         kFeaterOk},
        // The evidence grids.
        {"GridMissing", [](Job& job) { std::remove(job.grids[1].c_str()); }, kFeaterGridUnopened + 1},
        {"GridDirectory",
         [](Job& job) {
             std::remove(job.grids[1].c_str());
             mkdir(job.grids[1].c_str(), 0755);
         },
         kFeaterGridUnopened + 1},
        {"GridEmpty", Grid(""), kFeaterMalformedInput},
        {"GridCutInHeader", Grid(std::string(kCu).substr(0, 15)), kFeaterMalformedInput},
        {"GridCutInValues", Grid(std::string(kCu).substr(0, std::string(kCu).size() - 3)),
         kFeaterMalformedInput},
        {"GridGarbage", Grid(Garbage(4096, 12)), kFeaterMalformedInput},
        {"GridOverlongWord", Grid(Repeat('K', 100000) + " 2 3 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeaterParamsRefused, true},
        {"GridOverlongValue", Grid("KVSGDA01 2 3 0 1 0 1 0 1 99999\n0 1 2\n0 1 " + Repeat('3', 5000) + "\n"),
         kFeaterMalformedInput},
        {"GridNegativeCounts", Grid("KVSGDA01 -2 -3 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeaterMalformedInput},
        {"GridZeroCounts", Grid("KVSGDA01 0 0 0 1 0 1 0 1 99999\n"), kFeaterMalformedInput},
        {"GridCountsOverflow32Bits", Grid("KVSGDA01 65536 65536 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeaterMalformedInput},
        {"GridSizeBeyondFile", Grid("KVSGDA01 1000 1000 0 1 0 1 0 1 99999\n0 1 2\n0 1 3\n"),
         kFeaterMalformedInput},
        {"GridOtherShape", Grid("KVSGDA01 3 2 0 1 0 1 0 1 99999\n0 1\n2 0\n1 3\n"), kFeaterMalformedInput},
        {"GridNanAndInf", Grid("KVSGDA01 2 3 0 1 0 1 0 1 nan\nnan 1 inf\n-inf 1e999 3\n"),
         kFeaterMalformedInput},
        {"GridCrlf", Grid(WithCrlf(kCu)), kFeaterOk},
        // The model-unit file.
        {"UnitsMissing", [](Job& job) { std::remove(job.units.c_str()); }, kFeaterUnitFileUnopened},
        {"UnitsDirectory",
         [](Job& job) {
             std::remove(job.units.c_str());
             mkdir(job.units.c_str(), 0755);
         },
         kFeaterUnitFileUnopened},
        {"UnitsEmpty", Units(""), kFeaterMalformedInput},
        {"UnitsCutInRecord", Units("units 2\n1 0 0 3\n2 1"), kFeaterMalformedInput},
        {"UnitsGarbage", Units(Garbage(4096, 13)), kFeaterMalformedInput},
        {"UnitsOverlongTitle", Units(Repeat('u', 100000) + " 1\n1 0 0 3\n"), kFeaterParamsRefused, true},
        {"UnitsOverlongNumber", Units("units 1\n1 " + Repeat('0', 5000) + " 0 3\n"), kFeaterMalformedInput},
        {"UnitsNegativeCount", Units("units -1\n"), kFeaterMalformedInput},
        {"UnitsZeroCount", Units("units 0\n"), kFeaterNoWeights},
        {"UnitsCountOverflow32Bits", Units("units 4294967297\n1 0 0 3\n"), kFeaterMalformedInput},
        {"UnitsCountBeyondFile", Units("units 100000000\n1 0 0 3\n"), kFeaterMalformedInput},
        {"UnitsOutsideGrid", Units("units 2\n1 -5 -5 3\n2 2147483647 0 5\n"), kFeaterNoWeights},
        {"UnitsCrlf", Units(WithCrlf(kUnits)), kFeaterOk},
        // Outputs.
        {"ReportIsParams", Rename([](Job& job) { job.report = job.params; }), kFeaterParamsRefused},
        {"ReportIsGrid", Rename([](Job& job) { job.report = job.grids[1]; }), kFeaterParamsRefused},
        {"ScoreIsGridViaDot", Rename([](Job& job) { job.score = job.dir / "./au.grd"; }),
         kFeaterParamsRefused},
        {"ScoreIsUnits", Rename([](Job& job) { job.score = job.units; }), kFeaterParamsRefused},
        {"ScoreIsReport", Rename([](Job& job) { job.score = job.report; }), kFeaterParamsRefused},
        {"ReportInMissingFolder", Rename([](Job& job) { job.report = job.dir / "missing/r.txt"; }),
         kFeaterReportUnwritten},
        {"ScoreInMissingFolder", Rename([](Job& job) { job.score = job.dir / "missing/s.grd"; }),
         kFeaterFileUnavailable, true},
    };
    return cases;
}

void PrintTo(const FeatureCase& c, std::ostream* out) {
    *out << c.name;
}

class FeatureCatalogue : public ::testing::TestWithParam<FeatureCase> {
  protected:
    TempDir dir_;
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
    run.ExpectExport([&] { return qelFeater(job.params.c_str()); }, expected, expected == kFeaterOk);
    run.ExpectCli({"feature", job.params}, expected, expected == kFeaterOk, FeaterStatusText(expected));
}

INSTANTIATE_TEST_SUITE_P(BadInputs, FeatureCatalogue, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FeatureCatalogueRuns, CrlfFilesGiveTheSameResult) {
    TempDir dir;
    Job job(dir);
    WriteValid(job);
    ASSERT_EQ(qelFeater(job.params.c_str()), kFeaterOk);
    const std::string report = ReadFile(job.report);
    const std::string score = ReadFile(job.score);
    for (const std::string& input : job.Inputs()) WriteFile(input, WithCrlf(ReadFile(input)));
    ASSERT_EQ(qelFeater(job.params.c_str()), kFeaterOk);
    EXPECT_EQ(ReadFile(job.report), report);
    EXPECT_EQ(ReadFile(job.score), score);
}

}  // namespace
}  // namespace quarnel::hardening
