// Bad inputs for qelDecompos: the parameter file, the element grids of target 1, the anomaly
// table of targets 0 and 2, and the report and result paths, through the export and the host.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "jobs/frame/quarnel.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "tests/hardening/catalogue.h"

namespace quarnel::hardening {
namespace {

namespace status = hierarchy_status;

constexpr const char* kGridA = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n1 2 3\n4 99999 6\n";
constexpr const char* kGridB = "KVSGDA01 2 3 0 1 0 1 0 1 99999\n6 5 4\n3 2 1\n";
constexpr const char* kTable = "AnmLvl 3 2\nName Fault Mag Grav\nA1 1 2 3\nA2 4 5 6\n";

// A job's files in one folder: the parameter file names the grids (target 1) or the table
// (targets 0 and 2) by absolute path, and the report and result beside them.
struct Job {
    explicit Job(const TempFolder& folder) : dir(folder) {}

    std::string Params(int target) const {
        const std::string second = target == 1 ? grids[1] : table;
        return "QELFrmDECOMPOSE " + std::to_string(target) + " 1 1 0 0\n3 1\nFault 1 " + grids[0] +
               "\n2 2\nMag 1 " + grids[1] + "\nGrav 2 " + second + "\n" + output + " " + report + "\n";
    }

    const TempFolder& dir;
    std::string params = dir / "params.txt";
    std::vector<std::string> grids = {dir / "a.grd", dir / "b.grd"};
    std::string table = dir / "table.txt";
    std::string output = dir / "out.txt";
    std::string report = dir / "report.txt";
};

// Statuses the job returns before it creates anything.
bool BeforeAnyOutput(int code) {
    return code == status::kParameterFileNotOpened || code == status::kNotTheKeyword ||
           code == status::kReportNotCreated || code == status::kMalformedParameterFile ||
           code == status::kBadImportance || code == status::kOutputOverwritesInput;
}

void ExpectRun(const Job& job, int target, const std::vector<std::string>& inputs, int expected) {
    Case run;
    for (const std::string& input : inputs) run.Input(input);
    if (BeforeAnyOutput(expected)) {
        for (const std::string& output : {job.output, job.report}) {
            bool isInput = false;
            for (const std::string& input : inputs) isInput = isInput || input == output;
            if (!isInput) run.Untouched(output);
        }
    }
    run.Written(job.report);
    run.ExpectExport([&] { return qelDecompos(job.params.c_str()); }, expected, expected == status::kSuccess);
    run.ExpectCli({"hierarchy", job.params}, expected, expected == status::kSuccess,
                  status::Meaning(expected, target));
}

struct HierarchyCase {
    const char* name;
    int target;
    // Writes the job's files as the case wants them; returns the files that are the job's inputs.
    std::function<std::vector<std::string>(Job&)> make;
    int status;
};

std::vector<std::string> Valid(Job& job, int target) {
    WriteFile(job.grids[0], kGridA);
    WriteFile(job.grids[1], kGridB);
    WriteFile(job.table, kTable);
    WriteFile(job.params, job.Params(target));
    return {job.params, job.grids[0], job.grids[1], job.table};
}

std::function<std::vector<std::string>(Job&)> Params(std::string bytes) {
    return [=](Job& job) {
        std::vector<std::string> inputs = Valid(job, 1);
        WriteFile(job.params, bytes);
        return inputs;
    };
}

std::function<std::vector<std::string>(Job&)> Grid(std::string bytes) {
    return [=](Job& job) {
        std::vector<std::string> inputs = Valid(job, 1);
        WriteFile(job.grids[1], bytes);
        return inputs;
    };
}

std::function<std::vector<std::string>(Job&)> Table(int target, std::string bytes) {
    return [=](Job& job) {
        std::vector<std::string> inputs = Valid(job, target);
        WriteFile(job.table, bytes);
        return inputs;
    };
}

template <class Change>
std::function<std::vector<std::string>(Job&)> After(int target, Change change) {
    return [=](Job& job) {
        std::vector<std::string> inputs = Valid(job, target);
        change(job);
        WriteFile(job.params, job.Params(target));
        return inputs;
    };
}

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

const std::vector<HierarchyCase>& Cases() {
    static const std::vector<HierarchyCase> cases = {
        {"ValidGrid", 1, [](Job& job) { return Valid(job, 1); }, status::kSuccess},
        {"ValidRanking", 0, [](Job& job) { return Valid(job, 0); }, status::kSuccess},
        {"ValidForecast", 2, [](Job& job) { return Valid(job, 2); }, status::kSuccess},
        // The parameter file.
        {"ParamsMissing", 1,
         [](Job& job) {
             Valid(job, 1);
             std::remove(job.params.c_str());
             return std::vector<std::string>{job.params};
         },
         status::kParameterFileNotOpened},
        {"ParamsEmpty", 1, Params(""), status::kNotTheKeyword},
        {"ParamsDirectory", 1,
         [](Job& job) {
             mkdir(job.params.c_str(), 0755);
             return std::vector<std::string>{};
         },
         status::kParameterFileNotOpened},
        {"ParamsCutInKeyword", 1, Params("QELFrm"), status::kNotTheKeyword},
        {"ParamsCutInLevels", 1, Params("QELFrmDECOMPOSE 1 1 1"), status::kMalformedParameterFile},
        {"ParamsCutInElement", 1, Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 2\nFault 1 a.grd\nGranite"),
         status::kMalformedParameterFile},
        {"ParamsGarbage", 1, Params(Garbage(4096, 8)), status::kNotTheKeyword},
        {"ParamsOverlongKeyword", 1, Params("QELFrmDECOMPOSE" + Repeat('E', 100000) + " 1"),
         status::kMalformedParameterFile},
        {"ParamsOverlongName", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 1\n" + Repeat('n', 100) + " 1 a.grd\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsOverlongFile", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 1\nFault 1 " + Repeat('f', 200) + "\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsOverlongReport", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 1\nFault 1 a.grd\nout.txt " + Repeat('r', 5000) + "\n"),
         status::kMalformedParameterFile},
        {"ParamsOverlongOutput", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 1\nFault 1 a.grd\n" + Repeat('o', 200) + " report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsOverlongNumber", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n" + Repeat('3', 5000) +
                " 1\nFault 1 a.grd\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsNegativeCount", 1, Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 -1\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsCountBeyondTen", 1, Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 2147483647\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsZeroElementsOnly", 1, Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 0\nout.txt report.txt\n"),
         status::kMalformedParameterFile},
        {"ParamsNanImportance", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\nnan 1\nFault 1 a.grd\nout.txt report.txt\n"),
         status::kBadImportance},
        {"ParamsInfImportance", 1,
         Params("QELFrmDECOMPOSE 1 1 0 0 0\n3 1\nFault inf a.grd\nout.txt report.txt\n"),
         status::kBadImportance},
        {"ParamsCrlf", 1,
         [](Job& job) {
             Valid(job, 1);
             WriteFile(job.params, WithCrlf(job.Params(1)));
             return std::vector<std::string>{job.params, job.grids[0], job.grids[1]};
         },
         status::kSuccess},
        {"ParamsGbkPaths", 1,
         After(1,
               [](Job& job) {
                   mkdir((job.dir / kGbkName).c_str(), 0755);
                   job.grids[0] = job.dir / kGbkName + "/" + kGbkName + ".grd";
                   WriteFile(job.grids[0], kGridA);
                   job.report = job.dir / kGbkName + "/" + kGbkName + ".txt";
               }),
         status::kSuccess},
        // The element grids of target 1.
        {"GridMissing", 1,
         [](Job& job) {
             auto inputs = Valid(job, 1);
             std::remove(job.grids[1].c_str());
             return inputs;
         },
         status::GridNotOpened(1, 0)},
        {"GridDirectory", 1,
         [](Job& job) {
             Valid(job, 1);
             std::remove(job.grids[1].c_str());
             mkdir(job.grids[1].c_str(), 0755);
             return std::vector<std::string>{job.params, job.grids[0]};
         },
         status::GridNotOpened(1, 0)},
        {"GridEmpty", 1, Grid(""), status::kMalformedInput},
        {"GridCutInHeader", 1, Grid(std::string(kGridB).substr(0, 15)), status::kMalformedInput},
        {"GridCutInValues", 1, Grid(std::string(kGridB).substr(0, std::string(kGridB).size() - 3)),
         status::kMalformedInput},
        {"GridGarbage", 1, Grid(Garbage(4096, 9)), status::kMalformedInput},
        {"GridOverlongWord", 1, Grid(Repeat('K', 100000) + " 2 3 0 1 0 1 0 1 99999\n6 5 4\n3 2 1\n"),
         status::kMalformedInput},
        {"GridOverlongValue", 1,
         Grid("KVSGDA01 2 3 0 1 0 1 0 1 99999\n6 5 4\n3 2 " + Repeat('1', 5000) + "\n"),
         status::kMalformedInput},
        {"GridNegativeCounts", 1, Grid("KVSGDA01 -2 -3 0 1 0 1 0 1 99999\n6 5 4\n3 2 1\n"),
         status::kMalformedInput},
        {"GridZeroCounts", 1, Grid("KVSGDA01 0 3 0 1 0 1 0 1 99999\n"), status::kMalformedInput},
        {"GridCountsOverflow32Bits", 1, Grid("KVSGDA01 65536 65536 0 1 0 1 0 1 99999\n6 5 4\n3 2 1\n"),
         status::kMalformedInput},
        {"GridSizeBeyondFile", 1, Grid("KVSGDA01 1000 1000 0 1 0 1 0 1 99999\n6 5 4\n3 2 1\n"),
         status::kMalformedInput},
        {"GridOtherShape", 1, Grid("KVSGDA01 3 2 0 1 0 1 0 1 99999\n6 5\n4 3\n2 1\n"),
         status::kMalformedInput},
        {"GridNanAndInf", 1, Grid("KVSGDA01 2 3 0 1 0 1 0 1 nan\nnan inf -inf\n1e999 2 1\n"),
         status::kMalformedInput},
        {"GridCrlf", 1, Grid(WithCrlf(kGridB)), status::kSuccess},
        // The anomaly table of targets 0 and 2.
        {"TableMissing", 0,
         [](Job& job) {
             auto inputs = Valid(job, 0);
             std::remove(job.table.c_str());
             return inputs;
         },
         status::kTableOrGridNotOpened},
        {"TableDirectory", 2,
         [](Job& job) {
             Valid(job, 2);
             std::remove(job.table.c_str());
             mkdir(job.table.c_str(), 0755);
             return std::vector<std::string>{job.params};
         },
         status::kTableOrGridNotOpened},
        {"TableEmpty", 0, Table(0, ""), status::kMalformedInput},
        {"TableCutInHeader", 0, Table(0, "AnmLvl 3"), status::kMalformedInput},
        {"TableCutInNames", 2, Table(2, "AnmLvl 3 2\nName Fault Mag"), status::kMalformedInput},
        {"TableCutInRows", 0, Table(0, "AnmLvl 3 2\nName Fault Mag Grav\nA1 1 2 3\nA2 4"),
         status::kMalformedInput},
        {"TableGarbage", 0, Table(0, Garbage(4096, 10)), status::kMalformedInput},
        {"TableOtherHeader", 2, Table(2, "anmlvl 3 2\nName Fault Mag Grav\nA1 1 2 3\nA2 4 5 6\n"),
         status::kNotAnomalyTable},
        {"TableOverlongHeader", 0, Table(0, "AnmLvl" + Repeat('l', 100000) + " 3 2\n"),
         status::kMalformedInput},
        {"TableLongRowName", 0,
         Table(0, "AnmLvl 3 1\nName Fault Mag Grav\n" + Repeat('A', 4096) + " 1 2 3\n"), status::kSuccess},
        {"TableEndlessRowName", 0,
         Table(0, "AnmLvl 3 1\nName Fault Mag Grav\n" + Repeat('A', 100000) + " 1 2 3\n"),
         status::kMalformedInput},
        {"TableOverlongValue", 2,
         Table(2, "AnmLvl 3 1\nName Fault Mag Grav\nA1 1 2 " + Repeat('3', 5000) + "\n"),
         status::kMalformedInput},
        {"TableNegativeRows", 0, Table(0, "AnmLvl 3 -2\nName Fault Mag Grav\nA1 1 2 3\n"),
         status::kMalformedInput},
        {"TableNegativeVariables", 0, Table(0, "AnmLvl -3 2\nName Fault Mag Grav\nA1 1 2 3\n"),
         status::kVariableCountMismatch},
        {"TableZeroRows", 0, Table(0, "AnmLvl 3 0\nName Fault Mag Grav\n"), status::kSuccess},
        {"TableRowsOverflow32Bits", 2, Table(2, "AnmLvl 3 2147483647\nName Fault Mag Grav\nA1 1 2 3\n"),
         status::kMalformedInput},
        // Found by the anomaly_table fuzz target: 30 bytes reserved 5 GB of row arrays.
        {"TableRowsJustUnder4GiB", 0, Table(0, "AnmLvl 3 214748364\nN F M G\n"), status::kMalformedInput},
        {"TableRowsOneBeyondTheTable", 2, Table(2, "AnmLvl 3 9\nName Fault Mag Grav\nA1 1 2 3\n"),
         status::kMalformedInput},
        {"TableRowsBeyondFile", 0, Table(0, "AnmLvl 3 1000000\nName Fault Mag Grav\nA1 1 2 3\n"),
         status::kMalformedInput},
        {"TableNanAndInf", 0, Table(0, "AnmLvl 3 2\nName Fault Mag Grav\nA1 nan 2 3\nA2 inf -inf 6\n"),
         status::kMalformedInput},
        {"TableCrlf", 2, Table(2, WithCrlf(kTable)), status::kSuccess},
        // Outputs.
        {"ReportIsParams", 1, After(1, [](Job& job) { job.report = job.params; }),
         status::kOutputOverwritesInput},
        {"ReportIsGrid", 1, After(1, [](Job& job) { job.report = job.grids[0]; }),
         status::kOutputOverwritesInput},
        {"OutputIsGridViaDot", 1, After(1, [](Job& job) { job.output = job.dir / "./b.grd"; }),
         status::kOutputOverwritesInput},
        {"ReportIsTable", 0, After(0, [](Job& job) { job.report = job.table; }),
         status::kOutputOverwritesInput},
        {"ForecastIsTable", 2, After(2, [](Job& job) { job.output = job.table; }),
         status::kOutputOverwritesInput},
        {"OutputIsReport", 1, After(1, [](Job& job) { job.output = job.report; }),
         status::kOutputOverwritesInput},
        {"ReportInMissingFolder", 1, After(1, [](Job& job) { job.report = job.dir / "missing/report.txt"; }),
         status::kReportNotCreated},
        {"OutputInMissingFolder", 1, After(1, [](Job& job) { job.output = job.dir / "missing/out.txt"; }),
         status::kOutputGridNotCreated},
        {"ForecastInMissingFolder", 2, After(2, [](Job& job) { job.output = job.dir / "missing/out.txt"; }),
         status::kTableOrGridNotOpened},
    };
    return cases;
}

void PrintTo(const HierarchyCase& c, std::ostream* out) {
    *out << c.name;
}

class HierarchyCatalogue : public ::testing::TestWithParam<HierarchyCase> {
  protected:
    TempFolder dir_;
};

TEST_P(HierarchyCatalogue, Job) {
    Job job(dir_);
    const std::vector<std::string> inputs = GetParam().make(job);
    ExpectRun(job, GetParam().target, inputs, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(BadInputs, HierarchyCatalogue, ::testing::ValuesIn(Cases()),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(HierarchyCatalogueRuns, CrlfFilesGiveTheSameResult) {
    TempFolder dir;
    Job lf(dir);
    Valid(lf, 1);
    ASSERT_EQ(qelDecompos(lf.params.c_str()), status::kSuccess);
    const std::string report = ReadFile(lf.report);
    const std::string output = ReadFile(lf.output);
    for (const std::string& grid : lf.grids) WriteFile(grid, WithCrlf(ReadFile(grid)));
    WriteFile(lf.params, WithCrlf(lf.Params(1)));
    ASSERT_EQ(qelDecompos(lf.params.c_str()), status::kSuccess);
    EXPECT_EQ(ReadFile(lf.report), report);
    EXPECT_EQ(ReadFile(lf.output), output);
}

}  // namespace
}  // namespace quarnel::hardening
