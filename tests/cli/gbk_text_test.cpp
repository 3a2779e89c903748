// GBK report text shown as UTF-8. Plain literals here are GBK bytes (the tests compile with the
// library's execution character set); u8 literals stay UTF-8.
#include "cli/gbk_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tests/testkit/testkit.h"

namespace quarnel::cli {
namespace {

std::string Utf8(std::u8string_view text) {
    return std::string(text.begin(), text.end());
}

TEST(GbkToUtf8, ReportWords) {
    EXPECT_EQ(std::string("\xB5\xD8\xD6\xCA"), "地质") << "the literal is GBK";
    EXPECT_EQ(GbkToUtf8("\t\t层次分析程序\n"), Utf8(u8"\t\t层次分析程序\n"));
    EXPECT_EQ(GbkToUtf8("  目的层：找矿预测（规则网格）\n"), Utf8(u8"  目的层：找矿预测（规则网格）\n"));
    EXPECT_EQ(GbkToUtf8("RI(1-2)=0.000,"), "RI(1-2)=0.000,");
    EXPECT_EQ(GbkToUtf8(""), "");
}

TEST(GbkToUtf8, BytesThatAreNotGbkBecomeReplacementCharacters) {
    EXPECT_EQ(GbkToUtf8("a\xFF"
                        "b"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(GbkToUtf8("地\xB5"), Utf8(u8"地\uFFFD")) << "a lead byte cut off at the end";
}

TEST(GbkToUtf8, LongTextConvertsWhole) {
    std::string gbk;
    std::string utf8;
    for (int i = 0; i < 10000; ++i) {
        gbk += "地球化学层 ";
        utf8 += Utf8(u8"地球化学层 ");
    }
    EXPECT_EQ(GbkToUtf8(gbk), utf8);
}

TEST(PrintGbkFile, WholeFileAcrossBlocks) {
    const testkit::TempFolder folder;
    const std::string path = folder / "report.txt";
    // A character cut by the block boundary must come out whole.
    const std::string gbk = std::string((1 << 16) - 1, 'a') + "地\n最大特征值为   3.000";
    testkit::WriteFile(path, gbk);
    std::ostringstream text;
    ASSERT_TRUE(PrintGbkFile(path.c_str(), text));
    EXPECT_EQ(text.str(), GbkToUtf8(gbk) + "\n");
    EXPECT_NE(text.str().find(Utf8(u8"a地\n最大特征值为   3.000\n")), std::string::npos);
    std::filesystem::remove(path);
    EXPECT_FALSE(PrintGbkFile(path.c_str(), text));
}

}  // namespace
}  // namespace quarnel::cli
