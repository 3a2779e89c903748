#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jobs/feature/feature_params.h"
#include "jobs/feature/feature_status.h"
#include "feature_files.h"
#include "jobs/frame/quarnel.h"

namespace quarnel {
namespace {

using test::ParamText;
using test::VariableLine;
using testkit::TempFolder;
using testkit::WriteFile;

int Read(const std::string& text, FeatureParams& params) {
    TempFolder folder;
    WriteFile(folder / "params.txt", text);
    return ReadFeatureParams((folder / "params.txt").c_str(), params);
}

int Read(const std::string& text) {
    FeatureParams params{};
    return Read(text, params);
}

std::string TwoVariables(int hasUnits, const std::string& unitPath, int method) {
    return ParamText({{"Au", "1.5", "3", "au.grd"}, {"Cu", "-2e1", "20.25", "/data/cu.grd"}}, hasUnits,
                     unitPath, method, "score.grd", "report.txt");
}

TEST(ReadFeatureParams, FillsEveryFieldInFileOrder) {
    FeatureParams params{};
    ASSERT_EQ(Read(TwoVariables(1, "units.txt", 1), params), kFeatureOk);
    EXPECT_EQ(params.varCount, 2);
    EXPECT_STREQ(params.vars[0].name, "Au");
    EXPECT_EQ(params.vars[0].lower, 1.5f);
    EXPECT_EQ(params.vars[0].upper, 3.0f);
    EXPECT_STREQ(params.vars[0].gridPath, "au.grd");
    EXPECT_EQ(params.vars[1].lower, -20.0f);
    EXPECT_EQ(params.vars[1].upper, 20.25f);
    EXPECT_STREQ(params.vars[1].gridPath, "/data/cu.grd");
    EXPECT_EQ(params.hasModelUnits, 1);
    EXPECT_STREQ(params.modelUnitPath, "units.txt");
    EXPECT_EQ(params.method, 1);
    EXPECT_STREQ(params.scoreGridPath, "score.grd");
    EXPECT_STREQ(params.reportPath, "report.txt");
}

TEST(ReadFeatureParams, LayoutInLinesIsFree) {
    FeatureParams params{};
    ASSERT_EQ(Read("QelFrmFeater 1 Au 1.5 3 au.grd 0 none 0 s.grd r.txt", params), kFeatureOk);
    EXPECT_STREQ(params.reportPath, "r.txt");
}

TEST(ReadFeatureParams, MissingFileIs3000) {
    FeatureParams params{};
    EXPECT_EQ(ReadFeatureParams("/nonexistent/params.txt", params), kFeatureFileUnavailable);
}

TEST(ReadFeatureParams, KeywordMustMatchExactlyWith3056) {
    const std::string body = TwoVariables(0, "none", 0).substr(std::string("QelFrmFeater").size());
    EXPECT_EQ(Read("qelfrmfeater" + body), kFeatureBadKeyword);
    EXPECT_EQ(Read("QelFrmFeater2" + body), kFeatureBadKeyword);
    EXPECT_EQ(Read(""), kFeatureBadKeyword);
    EXPECT_EQ(Read(std::string(19, 'Q') + body), kFeatureBadKeyword);
}

TEST(ReadFeatureParams, KeywordOfMoreThan19CharactersIs3057) {
    EXPECT_EQ(Read(std::string(20, 'Q') + " 1 Au 1 2 a 0 u 0 s r"), kFeatureParamsRefused);
}

std::vector<VariableLine> Variables(int n) {
    std::vector<VariableLine> vars;
    for (int i = 0; i < n; ++i) {
        const std::string index = std::to_string(i);
        vars.push_back({std::string("v").append(index), "0", "1", std::string("g").append(index)});
    }
    return vars;
}

TEST(ReadFeatureParams, VariableCountOutside1To50Is3057) {
    EXPECT_EQ(Read(ParamText(Variables(50), 0, "u", 0, "s", "r")), kFeatureOk);
    EXPECT_EQ(Read(ParamText(Variables(51), 0, "u", 0, "s", "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read(ParamText({}, 0, "u", 0, "s", "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater -1 0 u 0 s r"), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater 4294967297 Au 1 2 a 0 u 0 s r"), kFeatureParamsRefused);
}

TEST(ReadFeatureParams, MethodOtherThan0Or1Is3057) {
    EXPECT_EQ(Read(TwoVariables(0, "u", 0)), kFeatureOk);
    EXPECT_EQ(Read(TwoVariables(0, "u", 1)), kFeatureOk);
    EXPECT_EQ(Read(TwoVariables(0, "u", 2)), kFeatureParamsRefused);
    EXPECT_EQ(Read(TwoVariables(0, "u", -1)), kFeatureParamsRefused);
}

TEST(ReadFeatureParams, AnyModelUnitFlagIsAccepted) {
    FeatureParams params{};
    EXPECT_EQ(Read(TwoVariables(2, "u", 0), params), kFeatureOk);
    EXPECT_EQ(params.hasModelUnits, 2);
}

TEST(ReadFeatureParams, TokensLongerThanTheirFieldsAre3057) {
    const std::string n99(99, 'n'), n100(100, 'n'), p199(199, 'p'), p200(200, 'p');
    EXPECT_EQ(Read(ParamText({{n99, "0", "1", n99}}, 0, p199, 0, p199, p199)), kFeatureOk);
    EXPECT_EQ(Read(ParamText({{n100, "0", "1", "g"}}, 0, "u", 0, "s", "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read(ParamText({{"n", "0", "1", n100}}, 0, "u", 0, "s", "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read(ParamText({{"n", "0", "1", "g"}}, 0, p200, 0, "s", "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read(ParamText({{"n", "0", "1", "g"}}, 0, "u", 0, p200, "r")), kFeatureParamsRefused);
    EXPECT_EQ(Read(ParamText({{"n", "0", "1", "g"}}, 0, "u", 0, "s", p200)), kFeatureParamsRefused);
}

// "%s" stops at a blank, so a path with a blank shifts every later field.
TEST(ReadFeatureParams, MissingOrUnparsableFieldsAre3057) {
    EXPECT_EQ(Read("QelFrmFeater 1 Au 1 3 my grid 0 u 0 s r"), kFeatureParamsRefused);
    const std::string full = TwoVariables(0, "none", 0);
    EXPECT_EQ(Read(full.substr(0, full.rfind(' '))), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater 1 Au low 3 a 0 u 0 s r"), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater 1 Au 1 3 a yes u 0 s r"), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater 2 Au 1 3 a 0 u 0 s r"), kFeatureParamsRefused);
    EXPECT_EQ(Read("QelFrmFeater 1 Au 1 3 a 0"), kFeatureParamsRefused);
}

// The parameter file is judged whole before the report is created.
TEST(QelFeater, RefusedParameterFileCreatesNoReport) {
    TempFolder folder;
    const std::string report = folder / "report.txt";
    for (int method : {2, 0}) {
        const auto vars = method == 2 ? Variables(1) : Variables(51);
        WriteFile(folder / "params.txt", ParamText(vars, 0, "u", method, folder / "score.grd", report));
        EXPECT_EQ(qelFeater((folder / "params.txt").c_str()), kFeatureParamsRefused);
        EXPECT_FALSE(test::FileExists(report));
    }
    WriteFile(folder / "params.txt", "QelFrmFeaterX 1 v 0 1 g 0 u 0 s " + report);
    EXPECT_EQ(qelFeater((folder / "params.txt").c_str()), kFeatureBadKeyword);
    EXPECT_FALSE(test::FileExists(report));
}

}  // namespace
}  // namespace quarnel
