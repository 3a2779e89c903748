// The bp-train and bp-classify commands of the quarnel host.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "formats/hxf/ihxf.h"
#include "tests/bp/bp_test_files.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::CliResult;
using testkit::KvbFileBytes;
using testkit::ReadFile;
using testkit::RunCliLine;
using testkit::TempFolder;
using testkit::WriteFile;

class CliBp : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir_ / name; }
    static bool Exists(const std::string& path) { return std::filesystem::exists(path); }

    TempFolder dir_;
};

TEST_F(CliBp, TrainReportsEpochsAndTheFinalErrorAndWritesBothFiles) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n1 1\n");
    CliResult r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("n.txt") + " -r " +
                             Path("r.txt") + " -H 1 -m 3 -e -1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("network 1-1-1, 1 samples"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("not converged: 3 epochs run; final error"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("final error 0.10668195"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFile(Path("n.txt")),
              "         1           1           1            0.10668195\n"
              "     0.00135\n     0.17988\n     0.00135\n     0.08995\n");
    EXPECT_EQ(ReadFile(Path("r.txt")), "样本序号为      0真正的类别号为:  1计算的类别号为:  1\n");
}

// Every draw 0: each group's running maximum stays at its starting 1e-308, so every initial
// weight and threshold is -0.5 (not the 0.0 of a genuinely empty range).
TEST_F(CliBp, ZeroDrawsStartEveryWeightAtMinusHalf) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n1 1\n0 0\n");
    const std::string asan = std::getenv("ASAN_OPTIONS") ? std::getenv("ASAN_OPTIONS") : "";
    setenv("ASAN_OPTIONS", (asan + ":verify_asan_link_order=0").c_str(), 1);
    setenv("LD_PRELOAD", ZERO_RAND_LIBRARY, 1);
    const CliResult r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("n.txt") + " -r " +
                                   Path("r.txt") + " -H 2 -m 1");
    unsetenv("LD_PRELOAD");
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::string network = ReadFile(Path("n.txt"));
    EXPECT_EQ(network.substr(network.find('\n') + 1, 25), "    -0.50348    -0.50348\n") << network;
}

TEST_F(CliBp, TrainSaysWhenTheErrorReachedTheLimit) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n1 1\n");
    CliResult r = RunCliLine("bp-train --samples " + Path("s.txt") + " --network " + Path("n.txt") +
                             " --result " + Path("r.txt") + " --hidden 1 --error-limit 0.2");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("converged after 1 epochs; final error 0.12500000"), std::string::npos)
        << r.output;
    EXPECT_EQ(ReadFile(Path("n.txt")),
              "         1           1           1            0.12500000\n"
              "     0.00000\n     0.06250\n     0.00000\n     0.03125\n");
}

TEST_F(CliBp, TrainFailureNamesTheStatusAndItsMeaning) {
    CliResult r =
        RunCliLine("bp-train -s " + Path("missing.txt") + " -n " + Path("n.txt") + " -r " + Path("r.txt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("status 2: no valid sample file"), std::string::npos) << r.output;
    EXPECT_FALSE(Exists(Path("n.txt")));
}

TEST_F(CliBp, ClassifyTellsEachInputsKindFromItsContent) {
    WriteFile(Path("net.txt"), bptest::kXorNetwork);
    WriteFile(Path("a.grd"), bptest::kCornerGridA);
    WriteFile(Path("b.kvb"), KvbFileBytes(2, 2, {0, 1, 0, 1}));
    CliResult r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " + Path("a.grd") +
                             " " + Path("b.kvb"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("out.grd")), bptest::kXorGrid);

    const float a[] = {0, 0, 1, 1};
    const float b[] = {0, 1, 0, 1};
    const char* ids[] = {"a", "b"};
    const void* values[] = {a, b};
    ASSERT_EQ(WriteHXFFile(Path("ab.hxf").c_str(), HXF_FLOAT, 2, 2, 2, ids, values), HXF_OK);
    r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("hxf.grd") + " " + Path("ab.hxf"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("hxf.grd")), bptest::kXorGrid);
}

TEST_F(CliBp, ClassifyTakesGivenKindsAndRefusesFilesOfNoKnownKind) {
    WriteFile(Path("net.txt"), bptest::kXorNetwork);
    WriteFile(Path("a.grd"), bptest::kCornerGridA);
    WriteFile(Path("b.grd"), bptest::kCornerGridB);
    WriteFile(Path("junk.txt"), "hello\n");
    CliResult r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " + Path("a.grd") +
                             " " + Path("junk.txt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("not a KVSGDB01, DSAA or HXF grid file"), std::string::npos) << r.output;
    r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " + Path("a.grd") + " " +
                   Path("b.grd") + " --kinds 1");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("--kinds names 1 kinds for 2 inputs"), std::string::npos) << r.output;
    r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " + Path("a.grd") + " " +
                   Path("b.grd") + " --kinds 1,1");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(ReadFile(Path("out.grd")), bptest::kXorGrid);
}

TEST_F(CliBp, ClassifyFailureNamesTheStatusAndItsMeaning) {
    WriteFile(Path("net.txt"), bptest::kXorNetwork);
    WriteFile(Path("a.grd"), bptest::kCornerGridA);
    CliResult r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " + Path("a.grd"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("status 2: the inputs do not fit"), std::string::npos) << r.output;
    EXPECT_FALSE(Exists(Path("out.grd")));
}

TEST_F(CliBp, TrainJsonGivesTheTrainingSummaryAsData) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n1 1\n");
    const CliResult r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("n.txt") + " -r " +
                                   Path("r.txt") + " -H 1 -m 3 -e -1 --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const nlohmann::json j = nlohmann::json::parse(r.output);
    EXPECT_EQ(j["command"], "bp-train");
    EXPECT_EQ(j["ok"], true);
    EXPECT_EQ(j["status"], 1);
    EXPECT_EQ(j["outputs"], nlohmann::json({Path("n.txt"), Path("r.txt")}));
    const nlohmann::json& results = j["results"];
    EXPECT_EQ(results["network"], nlohmann::json({{"inputs", 1}, {"hidden", 1}, {"outputs", 1}}));
    EXPECT_EQ(results["samples"], 1);
    EXPECT_EQ(results["epochs"], 3);
    EXPECT_EQ(results["converged"], false);
    EXPECT_NEAR(results["final_error"].get<double>(), 0.10668195, 5e-9);
    EXPECT_EQ(results["training_accuracy"], 1.0);
    EXPECT_EQ(results["computed_classes"], nlohmann::json::parse("[[1]]"));
}

TEST_F(CliBp, TrainFailureCarriesItsCause) {
    CliResult r = RunCliLine("bp-train -s " + Path("missing.txt") + " -n " + Path("n.txt") + " -r " +
                             Path("r.txt") + " -c 1 -i 1 --json");
    EXPECT_EQ(r.exitCode, 1);
    const nlohmann::json j = nlohmann::json::parse(r.output);
    EXPECT_EQ(j["ok"], false);
    EXPECT_EQ(j["status"], 2);
    EXPECT_EQ(j["cause"], Path("missing.txt") + ": cannot be opened");

    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n1 1\n");
    r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("s.txt") + " -r " + Path("r.txt"));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("quarnel bp-train: status 0: "), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("quarnel bp-train: an output names the sample file " + Path("s.txt")),
              std::string::npos)
        << r.output;
}

TEST_F(CliBp, TrainRefusesNumbersSeparatedByTabs) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n0 0 0\n0\t1\t1\n");
    const CliResult r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("n.txt") + " -r " +
                                   Path("r.txt") + " -c 2 -i 2");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("line 3 separates numbers by tabs; the sample file separates them by blanks"),
              std::string::npos)
        << r.output;
    EXPECT_FALSE(Exists(Path("n.txt")));
    EXPECT_FALSE(Exists(Path("r.txt")));
}

TEST_F(CliBp, TabsAroundButNotBetweenNumbersStillTrain) {
    WriteFile(Path("s.txt"), "BP Training Sample File !!!\n\t0 1 1\t\n1 0 1\n");
    const CliResult r = RunCliLine("bp-train -s " + Path("s.txt") + " -n " + Path("n.txt") + " -r " +
                                   Path("r.txt") + " -m 1 --quiet");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("network 2-3-1, 2 samples"), std::string::npos) << r.output;
}

TEST_F(CliBp, ClassifyJsonCountsTheCellsOfEachClass) {
    WriteFile(Path("net.txt"), bptest::kXorNetwork);
    WriteFile(Path("a.grd"), bptest::kCornerGridA);
    WriteFile(Path("b.grd"), bptest::kCornerGridB);
    const CliResult r = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out.grd") + " " +
                                   Path("a.grd") + " " + Path("b.grd") + " --json");
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const nlohmann::json j = nlohmann::json::parse(r.output);
    EXPECT_EQ(j["outputs"], nlohmann::json({Path("out.grd")}));
    EXPECT_EQ(j["results"]["cells"], 4);
    EXPECT_EQ(j["results"]["rows"], 2);
    EXPECT_EQ(j["results"]["cols"], 2);
    EXPECT_EQ(j["results"]["class_counts"], nlohmann::json({{"2", 2}, {"3", 2}}));
    EXPECT_EQ(ReadFile(Path("out.grd")), bptest::kXorGrid);

    const CliResult misfit = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out2.grd") + " " +
                                        Path("a.grd") + " --json");
    EXPECT_EQ(misfit.exitCode, 1);
    EXPECT_EQ(nlohmann::json::parse(misfit.output)["cause"],
              "the inputs hold 1 grids; " + Path("net.txt") + " takes 2");

    WriteFile(Path("c.grd"), "DSAA\n3 1\n0 2\n0 0\n0 1\n1 2 3\n");
    const CliResult differ = RunCliLine("bp-classify " + Path("net.txt") + " " + Path("out3.grd") + " " +
                                        Path("a.grd") + " " + Path("c.grd"));
    EXPECT_EQ(differ.exitCode, 1);
    EXPECT_NE(differ.output.find("quarnel bp-classify: " + Path("c.grd") +
                                 ": 3 cells where the inputs before it have 4"),
              std::string::npos)
        << differ.output;
}

}  // namespace
}  // namespace quarnel
