#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/prep/prep_files.h"
#include "tests/testkit/testkit.h"

namespace quarnel::test {
namespace {

using testkit::CliResult;
using testkit::RunCliLine;

class CliPrepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(Path("a.grd"), "DSAA\n3 2\n0 0\n0 0\n0 0\n10 20 30\n99999 40 50\n");
        WriteFile(Path("b.grd"), "DSAA\n3 2\n0 0\n0 0\n0 0\n1 2 3\n4 5 6\n");
    }
    std::string Path(const char* name) const { return dir_ / name; }

    TempFolder dir_;
};

TEST_F(CliPrepTest, NormalizeWritesTheGridAndExitsZero) {
    const CliResult r = RunCliLine("normalize " + Path("a.grd") + " " + Path("n.grd"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("n.grd")),
              "DSAA\n3 2\n0 2\n0 1\n  0.00    1.00\n  0.00    0.25    0.50  \n99999.00    0.75    1.00  \n");
}

TEST_F(CliPrepTest, FailureExitsOneWithTheStatusAndItsMeaning) {
    CliResult r = RunCliLine("normalize --kind 1 " + Path("missing.grd") + " " + Path("n.grd"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind("quarnel normalize: status 0: failed:", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("\nquarnel normalize: " + Path("missing.grd") + ": "), std::string::npos)
        << r.output;
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 2) << r.output;

    r = RunCliLine("window-stats " + Path("a.grd") + " " + Path("m.grd") + " " + Path("s.grd") + " -w 0");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind("quarnel window-stats: status 0: failed:", 0), 0u) << r.output;
    EXPECT_FALSE(FileExists(Path("m.grd")));
}

TEST_F(CliPrepTest, UnknownKindIsRefusedByTheParser) {
    const CliResult r = RunCliLine("normalize --kind 3 " + Path("a.grd") + " " + Path("n.grd"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(FileExists(Path("n.grd")));
}

TEST_F(CliPrepTest, WindowStatsWritesBothGrids) {
    const CliResult r =
        RunCliLine("window-stats " + Path("b.grd") + " " + Path("m.grd") + " " + Path("s.grd") + " -w 1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::string header = "DSAA\n3 2\n0.000000 2.000000\n0.000000 1.000000\n0.000000 1.000000\n";
    EXPECT_EQ(ReadFile(Path("m.grd")), header + "  0.00    0.20    0.40  \n  0.60    0.80    1.00  \n");
    EXPECT_EQ(ReadFile(Path("s.grd")), header + "  0.00    0.00    0.00  \n  0.00    0.00    0.00  \n");
}

TEST_F(CliPrepTest, PackedGridsDumpAndDescribe) {
    CliResult r = RunCliLine("hxf-pack " + Path("ab.hxf") + " " + Path("a.grd") + " " + Path("b.grd"));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = RunCliLine("hxf-dump " + Path("ab.hxf") + " " + Path("ab.txt"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("ab.txt")),
              " 10.00  99999.00  \n 20.00   40.00  \n 30.00   50.00  \n"
              "  1.00    4.00  \n  2.00    5.00  \n  3.00    6.00  \n");
    // Kind 2 of normalize is the same dump.
    r = RunCliLine("normalize --kind 2 " + Path("ab.hxf") + " " + Path("ab2.txt"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("ab2.txt")), ReadFile(Path("ab.txt")));
    r = RunCliLine("info " + Path("ab.hxf"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("grid a\n"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("grid b\n"), std::string::npos) << r.output;
}

TEST_F(CliPrepTest, PackCutsLongIdsAndWritesDoubles) {
    const std::string longStem = "a_grid_name_of_more_than_thirty_one_characters";
    WriteFile(Path((longStem + ".grd").c_str()), ReadFile(Path("a.grd")));
    CliResult r =
        RunCliLine("hxf-pack " + Path("d.hxf") + " " + Path((longStem + ".grd").c_str()) + " --type double");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = RunCliLine("info " + Path("d.hxf"));
    EXPECT_EQ(r.output.rfind("format HXF, element type 18, 1 grid\n", 0), 0u) << r.output;
    EXPECT_NE(r.output.find("grid " + longStem.substr(0, 31) + "\n"), std::string::npos) << r.output;
    // The dump writes values of float grids only.
    r = RunCliLine("hxf-dump " + Path("d.hxf") + " " + Path("d.txt"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("d.txt")), "\n\n\n");
}

TEST_F(CliPrepTest, PackRefusesGridsOfDifferentShapes) {
    WriteFile(Path("c.grd"), "DSAA\n2 2\n0 0\n0 0\n0 0\n1 2\n3 4\n");
    const CliResult r = RunCliLine("hxf-pack " + Path("ac.hxf") + " " + Path("a.grd") + " " + Path("c.grd"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(FileExists(Path("ac.hxf")));
}

TEST_F(CliPrepTest, DumpOfAFileThatIsNoMultiGridFileFails) {
    const CliResult r = RunCliLine("hxf-dump " + Path("a.grd") + " " + Path("d.txt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.output.rfind("quarnel hxf-dump: status 0: ", 0), 0u) << r.output;
    EXPECT_FALSE(FileExists(Path("d.txt")));
}

TEST_F(CliPrepTest, InfoDescribesATextGrid) {
    const CliResult r = RunCliLine("info " + Path("a.grd"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "format DSAA\nrows   2\ncols   3\nrange  10 .. 50\nblanks 1 (values within 1 of 99999)\n");
}

TEST_F(CliPrepTest, InfoDescribesTheOtherFormats) {
    WriteFile(Path("g.txt"), "KVSGDA01\n2 2 0 0\n0 0 0 0\n-1\n1 -1 -0.5 4\n");
    CliResult r = RunCliLine("info " + Path("g.txt"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "format KVSGDA01\nrows   2\ncols   2\nrange  -0.5 .. 4\nblanks 1 (values equal to -1)\n");
    WriteFile(Path("g.kvb"), KvbFileBytes(1, 3, {-1.5f, 2.5f, 7}, 0, 1, -1));
    r = RunCliLine("info " + Path("g.kvb"));
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "format KVSGDB01\nrows   1\ncols   3\nrange  2.5 .. 7\nblanks 1 (values within 1 of -1)\n");
    WriteFile(Path("g.grd"), "DSAA\n2 2\n0 0\n0 0\n0 0\n1 2 3\n");
    r = RunCliLine("info " + Path("g.grd"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n'), 1) << r.output;
}

TEST_F(CliPrepTest, HelpExitsZero) {
    for (const char* command : {"--help", "normalize --help", "hxf-dump --help", "window-stats --help",
                                "hxf-pack --help", "info --help"}) {
        SCOPED_TRACE(command);
        EXPECT_EQ(RunCliLine(command).exitCode, 0);
    }
}

TEST_F(CliPrepTest, JsonGivesTheRangeCellsAndWindowShapeAsData) {
    CliResult r = RunCliLine("normalize " + Path("a.grd") + " " + Path("n.grd") + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    nlohmann::json j = nlohmann::json::parse(r.output);
    EXPECT_EQ(j["command"], "normalize");
    EXPECT_EQ(j["outputs"], nlohmann::json({Path("n.grd")}));
    EXPECT_EQ(j["results"],
              nlohmann::json({{"range", {{"low", 10.0}, {"high", 50.0}}}, {"cells", 6}, {"blanks", 1}}));

    r = RunCliLine("window-stats " + Path("b.grd") + " " + Path("m.grd") + " " + Path("s.grd") +
                   " -w 2 --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    j = nlohmann::json::parse(r.output);
    EXPECT_EQ(j["results"], nlohmann::json({{"window", 2}, {"rows", 1}, {"cols", 1}}));

    r = RunCliLine("window-stats " + Path("b.grd") + " " + Path("m.grd") + " " + Path("s.grd") +
                   " -w 3 --json");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(nlohmann::json::parse(r.output)["cause"],
              "the window size 3 is larger than the grid of 2 x 3 cells");

    ASSERT_EQ(RunCliLine("hxf-pack " + Path("ab.hxf") + " " + Path("a.grd") + " " + Path("b.grd")).exitCode,
              0);
    r = RunCliLine("hxf-dump " + Path("ab.hxf") + " " + Path("ab.txt") + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(nlohmann::json::parse(r.output)["results"],
              nlohmann::json({{"grids", 2}, {"rows", 2}, {"cols", 3}}));
}

}  // namespace
}  // namespace quarnel::test
