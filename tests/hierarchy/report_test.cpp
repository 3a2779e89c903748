// Whole hierarchy reports, byte for byte, for target kinds that run no target operation: the
// opening, the main matrix and every level's section. Expected texts are worked out by hand from
// the report formats (weights are importances over their sum; eigenvalues equal the orders).
#include <gtest/gtest.h>

#include "frame/quarnel.h"
#include "scratch.h"

namespace quarnel::test {
namespace {

struct Outcome {
    int status;
    std::string report;
};

Outcome RunJob(const ScratchDir& dir, int target, const std::array<LevelEntry, 4>& levels) {
    const std::string report = dir.Path("report.txt");
    const std::string params =
        dir.Write("params.txt", ParameterText(target, levels, dir.Path("result.txt"), report));
    Outcome outcome;
    outcome.status = qelDecompos(params.c_str());
    outcome.report = ReadFile(report);
    return outcome;
}

TEST(HierarchyReport, WorkedExample) {
    ScratchDir dir;
    const Outcome outcome = RunJob(dir, 5,
                                   {{{1, "4", {{"Fault", "3", "fault.grd"}, {"Granite", "1", "granite.grd"}}},
                                     {1, "2", {{"Magnetic", "1", "mag.grd"}, {"Gravity", "1", "grav.grd"}}},
                                     {1, "1", {{"Copper", "1", "cu.grd"}}},
                                     {0, "", {}}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.report,
              "\t\t层次分析程序\n"
              "  目的层：找矿预测（不规则网格）\n"
              "\n"
              "  主层次：\n"
              "    主层次元素  重要性\n"
              "    地质层      4.0\n"
              "    地球物理层  2.0\n"
              "    地球化学层  1.0\n"
              "\n"
              "  子层次：\n"
              "\n"
              "      地质层次元素  重要性\n"
              "          Fault     3.0\n"
              "        Granite     1.0\n"
              "\n"
              "  地球物理层次元素  重要性\n"
              "       Magnetic     1.0\n"
              "        Gravity     1.0\n"
              "\n"
              "  地球化学层次元素  重要性\n"
              "         Copper     1.0\n"
              "\n"
              "目的层与主层次间的判断矩阵:\n"
              "                     地质层次元素 地球物理层次元素 地球化学层次元素  权重（主分量）\n"
              "    地质层次元素       1.000            2.000            4.000            0.571\n"
              "地球物理层次元素       0.500            1.000            2.000            0.286\n"
              "地球化学层次元素       0.250            0.500            1.000            0.143\n"
              "\n"
              "最大特征值为   3.000\n"
              "\n"
              " CR(0-1)=  0.00, 目的层与主层次间的判断矩阵构造合理\n"
              "\n"
              "主层次与地质层间的判断矩阵:\n"
              "                   Fault     Granite   权重（主分量） 加权总权重\n"
              "       Fault       1.000       3.000       0.750      42.857\n"
              "     Granite       0.333       1.000       0.250      14.286\n"
              "\n"
              "最大特征值为   2.000\n"
              "RI(1-2)=0.000,主层次与地质层间的判断矩阵构造合理\n"
              "\n"
              "主层次与地球物理层间的判断矩阵:\n"
              "                Magnetic     Gravity   权重（主分量） 加权总权重\n"
              "    Magnetic       1.000       1.000       0.500      14.286\n"
              "     Gravity       1.000       1.000       0.500      14.286\n"
              "\n"
              "最大特征值为   2.000\n"
              "RI(1-2)=0.000,主层次与地球物理层间的判断矩阵构造合理\n"
              "\n"
              "主层次与地球化学层间的判断矩阵:\n"
              "                  Copper   权重（主分量） 加权总权重\n"
              "      Copper       1.000       1.000      14.286\n"
              "\n"
              "最大特征值为   1.000\n"
              "RI(1-2)=0.000,主层次与地球化学层间的判断矩阵构造合理\n");
    EXPECT_FALSE(FileExists(dir.Path("result.txt"))) << "target 5 runs no prediction";
}

// Geology is absent with presence 2 (its lines are not in the file), geophysics present with no
// elements, geochemistry of order 1 and remote sensing of order 2.
TEST(HierarchyReport, AbsentEmptyAndSmallLevels) {
    ScratchDir dir;
    const Outcome outcome = RunJob(dir, 5,
                                   {{{2, "", {}},
                                     {1, "1", {}},
                                     {1, "2", {{"Cu", "3", "cu.grd"}}},
                                     {1, "5", {{"Ratio", "1", "r.grd"}, {"Alteration", "4", "a.grd"}}}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.report,
              "\t\t层次分析程序\n"
              "  目的层：找矿预测（不规则网格）\n"
              "\n"
              "  主层次：\n"
              "    主层次元素  重要性\n"
              "    地球物理层  1.0\n"
              "    地球化学层  2.0\n"
              "    遥感层      5.0\n"
              "\n"
              "  子层次：\n"
              "\n"
              "  地球物理层次元素  重要性\n"
              "\n"
              "  地球化学层次元素  重要性\n"
              "             Cu     3.0\n"
              "\n"
              "      遥感层次元素  重要性\n"
              "          Ratio     1.0\n"
              "     Alteration     4.0\n"
              "\n"
              "目的层与主层次间的判断矩阵:\n"
              "                 地球物理层次元素 地球化学层次元素     遥感层次元素  权重（主分量）\n"
              "地球物理层次元素       1.000            0.500            0.200            0.125\n"
              "地球化学层次元素       2.000            1.000            0.400            0.250\n"
              "    遥感层次元素       5.000            2.500            1.000            0.625\n"
              "\n"
              "最大特征值为   3.000\n"
              "\n"
              " CR(0-1)=  0.00, 目的层与主层次间的判断矩阵构造合理\n"
              "\n"
              "主层次与地球物理层间的判断矩阵:\n"
              "               权重（主分量） 加权总权重\n"
              "\n"
              "最大特征值为     nan\n"
              "RI(1-2)=0.000,主层次与地球物理层间的判断矩阵构造合理\n"
              "\n"
              "主层次与地球化学层间的判断矩阵:\n"
              "                      Cu   权重（主分量） 加权总权重\n"
              "          Cu       1.000       1.000      25.000\n"
              "\n"
              "最大特征值为   1.000\n"
              "RI(1-2)=0.000,主层次与地球化学层间的判断矩阵构造合理\n"
              "\n"
              "主层次与遥感层间的判断矩阵:\n"
              "                   Ratio  Alteration   权重（主分量） 加权总权重\n"
              "       Ratio       1.000       0.250       0.200      12.500\n"
              "  Alteration       4.000       1.000       0.800      50.000\n"
              "\n"
              "最大特征值为   2.000\n"
              "RI(1-2)=0.000,主层次与遥感层间的判断矩阵构造合理\n");
}

// Geology and geochemistry absent with presence 0; a main matrix of order 2 and a level of
// order 3.
TEST(HierarchyReport, PresenceZeroAndOrderTwoMain) {
    ScratchDir dir;
    const Outcome outcome = RunJob(
        dir, 7,
        {{{0, "", {}},
          {1, "3", {{"Magnetic", "2", "m.grd"}, {"Gravity", "1", "g.grd"}, {"Radiometric", "1", "r.grd"}}},
          {0, "", {}},
          {1, "1", {{"Alteration", "1", "a.grd"}}}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.report,
              "\t\t层次分析程序\n"
              "  目的层：找矿预测（不规则网格）\n"
              "\n"
              "  主层次：\n"
              "    主层次元素  重要性\n"
              "    地球物理层  3.0\n"
              "    遥感层      1.0\n"
              "\n"
              "  子层次：\n"
              "\n"
              "  地球物理层次元素  重要性\n"
              "       Magnetic     2.0\n"
              "        Gravity     1.0\n"
              "    Radiometric     1.0\n"
              "\n"
              "      遥感层次元素  重要性\n"
              "     Alteration     1.0\n"
              "\n"
              "目的层与主层次间的判断矩阵:\n"
              "                 地球物理层次元素     遥感层次元素  权重（主分量）\n"
              "地球物理层次元素       1.000            3.000            0.750\n"
              "    遥感层次元素       0.333            1.000            0.250\n"
              "\n"
              "最大特征值为   2.000\n"
              "\n"
              " CR(0-1)=  0.00, 目的层与主层次间的判断矩阵构造合理\n"
              "\n"
              "主层次与地球物理层间的判断矩阵:\n"
              "                Magnetic     Gravity Radiometric   权重（主分量） 加权总权重\n"
              "    Magnetic       1.000       2.000       2.000       0.500      37.500\n"
              "     Gravity       0.500       1.000       1.000       0.250      18.750\n"
              " Radiometric       0.500       1.000       1.000       0.250      18.750\n"
              "\n"
              "最大特征值为   3.000\n"
              "RI(1-2)=0.000,主层次与地球物理层间的判断矩阵构造合理\n"
              "\n"
              "主层次与遥感层间的判断矩阵:\n"
              "              Alteration   权重（主分量） 加权总权重\n"
              "  Alteration       1.000       1.000      25.000\n"
              "\n"
              "最大特征值为   1.000\n"
              "RI(1-2)=0.000,主层次与遥感层间的判断矩阵构造合理\n");
}

TEST(HierarchyReport, NoPresentLevels) {
    ScratchDir dir;
    const Outcome outcome = RunJob(dir, 5, {{{0, "", {}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.report,
              "\t\t层次分析程序\n"
              "  目的层：找矿预测（不规则网格）\n"
              "\n"
              "  主层次：\n"
              "    主层次元素  重要性\n"
              "\n"
              "  子层次：\n"
              "\n"
              "目的层与主层次间的判断矩阵:\n"
              "                  权重（主分量）\n"
              "\n"
              "最大特征值为     nan\n"
              "\n"
              " CR(0-1)=  0.00, 目的层与主层次间的判断矩阵构造合理\n");
}

// An importance wider than its field would touch the element name before it; the house rule
// puts one blank between them. Names wider than their field are written whole.
TEST(HierarchyReport, WideValuesKeepApart) {
    ScratchDir dir;
    const Outcome outcome =
        RunJob(dir, 5,
               {{{1, "123456", {{"Fault", "1234567", "f.grd"}, {"GraniteContacts", "1234567", "g.grd"}}},
                 {0, "", {}},
                 {0, "", {}},
                 {0, "", {}}}});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.report,
              "\t\t层次分析程序\n"
              "  目的层：找矿预测（不规则网格）\n"
              "\n"
              "  主层次：\n"
              "    主层次元素  重要性\n"
              "    地质层    123456.0\n"
              "\n"
              "  子层次：\n"
              "\n"
              "      地质层次元素  重要性\n"
              "          Fault 1234567.0\n"
              "GraniteContacts 1234567.0\n"
              "\n"
              "目的层与主层次间的判断矩阵:\n"
              "                     地质层次元素  权重（主分量）\n"
              "    地质层次元素       1.000            1.000\n"
              "\n"
              "最大特征值为   1.000\n"
              "\n"
              " CR(0-1)=  0.00, 目的层与主层次间的判断矩阵构造合理\n"
              "\n"
              "主层次与地质层间的判断矩阵:\n"
              "                   FaultGraniteContacts   权重（主分量） 加权总权重\n"
              "       Fault       1.000       1.000       0.500      50.000\n"
              "GraniteContacts       1.000       1.000       0.500      50.000\n"
              "\n"
              "最大特征值为   2.000\n"
              "RI(1-2)=0.000,主层次与地质层间的判断矩阵构造合理\n");
}

TEST(HierarchyReport, TargetLines) {
    const std::pair<int, const char*> cases[] = {{0, "  目的层：异常评序\n"},
                                                 {1, "  目的层：找矿预测（规则网格）\n"},
                                                 {2, "  目的层：找矿预测（不规则网格）\n"},
                                                 {-1, "  目的层：找矿预测（不规则网格）\n"}};
    for (const auto& [target, line] : cases) {
        ScratchDir dir;
        RunJob(
            dir, target,
            {{{1, "1", {{"Fault", "1", dir.Path("missing.grd")}}}, {0, "", {}}, {0, "", {}}, {0, "", {}}}});
        const std::string expected = std::string("\t\t层次分析程序\n") + line + "\n  主层次：\n";
        EXPECT_EQ(ReadFile(dir.Path("report.txt")).substr(0, expected.size()), expected)
            << "target " << target;
    }
}

}  // namespace
}  // namespace quarnel::test
