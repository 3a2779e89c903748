// The three DSAA layouts, byte for byte.
#include "formats/grid/dsaa_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "formats/grid/text_sink.h"
#include "tests/testkit/testkit.h"

namespace quarnel {
namespace {

using testkit::ReadFile;
using testkit::TempFolder;

TEST(WriteNormalisedDsaa, WritesTheNormalisationLayout) {
    TempFolder dir;
    const std::string path = dir / "out.grd";
    const double row0[] = {0.0, 0.5, 1.0};
    const double row1[] = {99999.0, -0.001, 0.125};
    const double* rows[] = {row0, row1};
    ASSERT_TRUE(WriteNormalisedDsaa(path.c_str(), rows, 2, 3));
    EXPECT_EQ(ReadFile(path),
              "DSAA\n3 2\n0 2\n0 1\n  0.00    1.00\n"
              "  0.00    0.50    1.00  \n"
              "99999.00   -0.00    0.12  \n");
}

TEST(WriteStatisticsDsaa, WritesTheStatisticsLayout) {
    TempFolder dir;
    const std::string path = dir / "mean.grd";
    const double row0[] = {0.0, 1.0, 0.25};
    const double row1[] = {99999.0, 0.375, 0.625};
    const double* rows[] = {row0, row1};
    TextSink sink;
    ASSERT_TRUE(sink.Open(path.c_str()));
    ASSERT_TRUE(WriteStatisticsDsaa(sink, rows, 2, 3));
    EXPECT_FALSE(std::filesystem::exists(path)) << "finished, not yet in place";
    ASSERT_TRUE(sink.Close());
    EXPECT_EQ(ReadFile(path),
              "DSAA\n3 2\n0.000000 2.000000\n0.000000 1.000000\n0.000000 1.000000\n"
              "  0.00    1.00    0.25  \n"
              "99999.00    0.38    0.62  \n");
}

TEST(WriteClassDsaa, WritesClassesWithTheirRange) {
    TempFolder dir;
    const std::string path = dir / "class.grd";
    const int classes[] = {1, 3, 2, 5, 4, 1};
    ASSERT_TRUE(WriteClassDsaa(path.c_str(), classes, 3, 2));
    EXPECT_EQ(ReadFile(path), "DSAA\n3 2\n1 3\n1 2\n1 5\n1 3 2 \n5 4 1 \n");
    // The range starts from 9999 and 0, so classes above 9999 leave the low end at 9999.
    const int large[] = {10000, 12000};
    ASSERT_TRUE(WriteClassDsaa(path.c_str(), large, 2, 1));
    EXPECT_EQ(ReadFile(path), "DSAA\n2 1\n1 2\n1 1\n9999 12000\n10000 12000 \n");
}

TEST(DsaaWriters, FailWhenTheFileCannotBeCreatedOrWritten) {
    TempFolder dir;
    const double row[] = {1.0};
    const double* rows[] = {row};
    const int classes[] = {1};
    const std::string unreachable = dir / "missing/out.grd";
    EXPECT_FALSE(WriteNormalisedDsaa(unreachable.c_str(), rows, 1, 1));
    EXPECT_FALSE(WriteClassDsaa(unreachable.c_str(), classes, 1, 1));
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_FALSE(WriteNormalisedDsaa("/dev/full", rows, 1, 1));
        EXPECT_FALSE(WriteClassDsaa("/dev/full", classes, 1, 1));
    }
}

}  // namespace
}  // namespace quarnel
