#include "formats/afx/stdio_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/testkit/testkit.h"

namespace {

class CStdioFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) const {
        return folder_.Write(name, bytes);
    }

    static std::vector<std::string> ReadAll(const std::string& path) {
        CStdioFile file;
        EXPECT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeText));
        std::vector<std::string> lines;
        CString line;
        while (file.ReadString(line)) lines.emplace_back(line.GetString(), line.GetLength());
        EXPECT_TRUE(line.IsEmpty());
        return lines;
    }

    quarnel::testkit::TempFolder folder_;
};

using Lines = std::vector<std::string>;

TEST_F(CStdioFileTest, CrLfAndLfFilesReadTheSame) {
    const Lines expected{"DSAA", "3 2", "", "last"};
    EXPECT_EQ(expected, ReadAll(Write("lf.txt", "DSAA\n3 2\n\nlast\n")));
    EXPECT_EQ(expected, ReadAll(Write("crlf.txt", "DSAA\r\n3 2\r\n\r\nlast\r\n")));
    EXPECT_EQ(expected, ReadAll(Write("noend.txt", "DSAA\r\n3 2\n\r\nlast")));
}

TEST_F(CStdioFileTest, OnlyTheCarriageReturnBeforeTheLineFeedGoes) {
    EXPECT_EQ((Lines{"a\rb\r", "c\r"}), ReadAll(Write("cr.txt", "a\rb\r\r\nc\r")));
}

TEST_F(CStdioFileTest, EmptyFileHasNoLines) {
    EXPECT_TRUE(ReadAll(Write("empty.txt", "")).empty());
}

TEST_F(CStdioFileTest, LinesLongerThanTheBufferArriveWhole) {
    const std::string longLine(200000, 'x');
    const std::string other = std::string(300, 'y') + "\xB0\xA1";
    EXPECT_EQ((Lines{longLine, other, longLine}),
              ReadAll(Write("long.txt", longLine + "\r\n" + other + "\n" + longLine)));
}

TEST_F(CStdioFileTest, CrLfSplitAcrossTheBufferEdgeIsOneLineEnd) {
    const std::size_t edge = 64 * 1024;
    const std::string first(edge - 1, 'a');
    EXPECT_EQ((Lines{first, "b"}), ReadAll(Write("edge.txt", first + "\r\nb\r\n")));
}

TEST_F(CStdioFileTest, LengthCountsTheFilesBytes) {
    const std::string path = Write("len.txt", "ab\r\ncde\nf");
    CStdioFile file;
    ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::typeText));
    EXPECT_EQ(9u, file.GetLength());
}

TEST_F(CStdioFileTest, MissingFilesAndWritingFail) {
    CStdioFile file;
    EXPECT_FALSE(file.Open((folder_ / "absent.txt").c_str(), CFile::modeRead));
    EXPECT_FALSE(file.IsOpen());
    CString line;
    EXPECT_FALSE(file.ReadString(line));
    EXPECT_EQ(0u, file.GetLength());
    EXPECT_FALSE(file.Open(Write("w.txt", "x").c_str(), CFile::modeWrite));
}

}  // namespace
