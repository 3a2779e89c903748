// Whole hierarchy reports, byte for byte against their golden files, for target kinds that run
// no target operation. The golden texts were worked out by hand from the report formats (weights
// are importances over their sum; eigenvalues equal the orders).
#include <gtest/gtest.h>

#include "jobs/frame/quarnel.h"
#include "tests/hierarchy/hierarchy_files.h"

namespace quarnel::test {
namespace {

struct Outcome {
    int status;
    std::string report;
};

Outcome RunJob(const TempFolder& dir, int target, const std::array<LevelEntry, 4>& levels) {
    const std::string report = dir / "report.txt";
    const std::string params =
        dir.Write("params.txt", ParameterText(target, levels, dir / "result.txt", report));
    Outcome outcome;
    outcome.status = qelDecompos(params.c_str());
    outcome.report = ReadFile(report);
    return outcome;
}

struct ReportCase {
    const char* golden;  // tests/golden/hierarchy/GOLDEN.txt
    int target;
    std::array<LevelEntry, 4> levels;
};

const ReportCase kReports[] = {
    {"target5-three-levels",
     5,
     {{{1, "4", {{"Fault", "3", "fault.grd"}, {"Granite", "1", "granite.grd"}}},
       {1, "2", {{"Magnetic", "1", "mag.grd"}, {"Gravity", "1", "grav.grd"}}},
       {1, "1", {{"Copper", "1", "cu.grd"}}},
       {0, "", {}}}}},
    // Geology is absent with presence 2 (its lines are not in the file), geophysics present with
    // no elements, geochemistry of order 1 and remote sensing of order 2.
    {"target5-absent-empty-and-small-levels",
     5,
     {{{2, "", {}},
       {1, "1", {}},
       {1, "2", {{"Cu", "3", "cu.grd"}}},
       {1, "5", {{"Ratio", "1", "r.grd"}, {"Alteration", "4", "a.grd"}}}}}},
    // Geology and geochemistry absent with presence 0; a main matrix of order 2 and a level of
    // order 3.
    {"target7-presence0-main-order2",
     7,
     {{{0, "", {}},
       {1, "3", {{"Magnetic", "2", "m.grd"}, {"Gravity", "1", "g.grd"}, {"Radiometric", "1", "r.grd"}}},
       {0, "", {}},
       {1, "1", {{"Alteration", "1", "a.grd"}}}}}},
    {"target5-no-levels", 5, {{{0, "", {}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}}},
    // An importance wider than its field would touch the element name before it; the house rule
    // puts one blank between them. Names wider than their field are written whole.
    {"target5-wide-values",
     5,
     {{{1, "123456", {{"Fault", "1234567", "f.grd"}, {"GraniteContacts", "1234567", "g.grd"}}},
       {0, "", {}},
       {0, "", {}},
       {0, "", {}}}}},
};

// Targets 5 and 7 run no target operation: the report is the opening, the main matrix and every
// level's section, and no result file is written.
TEST(HierarchyReport, WholeReportsWithoutATargetOperation) {
    for (const ReportCase& c : kReports) {
        SCOPED_TRACE(c.golden);
        TempFolder dir;
        const Outcome outcome = RunJob(dir, c.target, c.levels);
        EXPECT_EQ(outcome.status, 0);
        testkit::ExpectGolden(outcome.report, std::string("hierarchy/") + c.golden + ".txt");
        EXPECT_FALSE(FileExists(dir / "result.txt"));
    }
}

TEST(HierarchyReport, TargetLines) {
    const std::pair<int, const char*> cases[] = {{0, "  目的层：异常评序\n"},
                                                 {1, "  目的层：找矿预测（规则网格）\n"},
                                                 {2, "  目的层：找矿预测（不规则网格）\n"},
                                                 {-1, "  目的层：找矿预测（不规则网格）\n"}};
    for (const auto& [target, line] : cases) {
        TempFolder dir;
        RunJob(dir, target,
               {{{1, "1", {{"Fault", "1", dir / "missing.grd"}}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}});
        const std::string expected = std::string("\t\t层次分析程序\n") + line + "\n  主层次：\n";
        EXPECT_EQ(ReadFile(dir / "report.txt").substr(0, expected.size()), expected) << "target " << target;
    }
}

}  // namespace
}  // namespace quarnel::test
