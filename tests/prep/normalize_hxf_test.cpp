#include <gtest/gtest.h>

#include "jobs/frame/quarnel.h"
#include "formats/hxf/ihxf.h"
#include "tests/prep/prep_files.h"

namespace quarnel::test {
namespace {

class NormalizeHxfTest : public ::testing::Test {
  protected:
    std::string Path(const char* name) const { return dir_ / name; }
    // Two 2 x 3 grids "first" and "second" of the given element type in in.hxf.
    template <class T>
    void WriteTwoGrids(int elementType) {
        const T first[] = {1, 2, 3, 4, 5, 6};
        const T second[] = {-1, 0, 7, 8, 9, 10};
        const char* ids[] = {"first", "second"};
        const void* values[] = {first, second};
        ASSERT_EQ(WriteHXFFile(Path("in.hxf").c_str(), elementType, 2, 3, 2, ids, values), 0);
    }
    int Run() { return OnDataNormalizeHXF(Path("in.hxf").c_str(), Path("out.txt").c_str()); }
    std::string Output() const { return ReadFile(Path("out.txt")); }

    TempFolder dir_;
};

TEST_F(NormalizeHxfTest, FloatGridsAreWrittenOneLinePerColumnWithoutRescaling) {
    WriteTwoGrids<float>(17);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Output(),
              "  1.00    4.00  \n  2.00    5.00  \n  3.00    6.00  \n"
              " -1.00    8.00  \n  0.00    9.00  \n  7.00   10.00  \n");
}

TEST_F(NormalizeHxfTest, DoubleGridsGiveLineBreaksOnly) {
    WriteTwoGrids<double>(18);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Output(), "\n\n\n\n\n\n");
}

TEST_F(NormalizeHxfTest, IntegerGridsGiveLineBreaksOnly) {
    WriteTwoGrids<std::int16_t>(3);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Output(), "\n\n\n\n\n\n");
}

TEST_F(NormalizeHxfTest, FileWithoutGridsGivesAnEmptyOutput) {
    ASSERT_EQ(WriteHXFFile(Path("in.hxf").c_str(), 17, 2, 2, 0, nullptr, nullptr), 0);
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(FileExists(Path("out.txt")));
    EXPECT_EQ(Output(), "");
}

TEST_F(NormalizeHxfTest, UnopenableFileCreatesNoOutput) {
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(FileExists(Path("out.txt")));
    WriteFile(Path("in.hxf"), "not a multi-grid file");
    EXPECT_EQ(Run(), 0);
    EXPECT_FALSE(FileExists(Path("out.txt")));
}

TEST_F(NormalizeHxfTest, UncreatableOutputStillReturnsZero) {
    WriteTwoGrids<float>(17);
    EXPECT_EQ(OnDataNormalizeHXF(Path("in.hxf").c_str(), Path("no/out.txt").c_str()), 0);
    EXPECT_FALSE(FileExists(Path("no/out.txt")));
}

}  // namespace
}  // namespace quarnel::test
