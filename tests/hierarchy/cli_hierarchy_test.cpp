// The command-line host's hierarchy and report commands, run as a user would run them.
// Report text on the terminal is UTF-8 (u8 literals); plain literals here are GBK.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "scratch.h"

namespace quarnel::test {
namespace {

struct Shown {
    int exitCode = -1;
    std::string out;  // standard output
};

Shown Quarnel(const std::string& arguments, const std::string& errorFile) {
    const std::string command = std::string(QUARNEL_BUILD_DIR) + "/quarnel " + arguments + " 2>" + errorFile;
    Shown shown;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return shown;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) shown.out.append(chunk, got);
    const int status = pclose(pipe);
    shown.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return shown;
}

std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

class CliHierarchy : public ::testing::Test {
  protected:
    std::string Params(int target, const std::string& file) {
        return dir_.Write("params.txt",
                          ParameterText(target,
                                        {{{1, "4", {{"Fault", "3", file}, {"Granite", "1", file}}},
                                          {0, "", {}},
                                          {0, "", {}},
                                          {0, "", {}}}},
                                        dir_.Path("out.txt"), dir_.Path("report.txt")));
    }
    std::string Errors() const { return ReadFile(dir_.Path("stderr.txt")); }
    Shown Run(const std::string& arguments) { return Quarnel(arguments, dir_.Path("stderr.txt")); }

    ScratchDir dir_;
};

TEST_F(CliHierarchy, ShowsTheReportInUtf8AndWhereTheFilesAre) {
    const Shown shown = Run("hierarchy " + Params(5, "x.grd") + " --show-report");
    EXPECT_EQ(shown.exitCode, 0) << Errors();
    EXPECT_EQ(shown.out.rfind(Utf8(u8"\t\t层次分析程序\n  目的层：找矿预测（不规则网格）\n"), 0), 0u)
        << shown.out;
    EXPECT_NE(shown.out.find(Utf8(u8"RI(1-2)=0.000,主层次与地质层间的判断矩阵构造合理\n"
                                  u8"qelDecompos status 0: success\nreport: ")),
              std::string::npos)
        << shown.out;
    EXPECT_EQ(Errors(), "");
}

TEST_F(CliHierarchy, PrintsWhereTheResultIs) {
    const std::string grid = dir_.Write("grid.txt", "KVSGDA01 1 1 0 1 0 1 0 1 99999 5\n");
    const Shown shown = Run("hierarchy " + Params(1, grid));
    EXPECT_EQ(shown.exitCode, 0) << Errors();
    EXPECT_EQ(shown.out, "qelDecompos status 0: success\nreport: " + dir_.Path("report.txt") +
                             "\nresult: " + dir_.Path("out.txt") + "\n");
}

TEST_F(CliHierarchy, FailureExitsOneWithTheStatusAndItsMeaning) {
    Shown shown = Run("hierarchy " + dir_.Path("missing.txt") + " --show-report");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.out, "");
    EXPECT_EQ(Errors(), "qelDecompos status 3000: the parameter file cannot be opened\n");

    // A report left behind by a failure is still shown.
    shown = Run("hierarchy " + Params(1, dir_.Path("missing.grd")) + " --show-report");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_EQ(shown.out.rfind(Utf8(u8"\t\t层次分析程序\n"), 0), 0u);
    EXPECT_EQ(Errors(),
              "qelDecompos status 3001: target 1: the grid of geology element 1 cannot be opened\n");
}

TEST_F(CliHierarchy, ReportCommandConvertsAnyGbkFile) {
    const std::string report = dir_.Write("some_report.txt", "\n最大特征值为   3.000\n");
    Shown shown = Run("report " + report);
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.out, Utf8(u8"\n最大特征值为   3.000\n"));
    shown = Run("report " + dir_.Path("missing.txt"));
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_NE(Errors(), "");
}

}  // namespace
}  // namespace quarnel::test
