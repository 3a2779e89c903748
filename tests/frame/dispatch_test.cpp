#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "loaded_library.h"
#include "tests/testkit/testkit.h"

namespace {

TEST(DispatcherTest, UnknownKindsReturnMinusOneAndTouchNoFile) {
    LoadedLibrary library(RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(nullptr, library.handle()) << dlerror();
    using Normalize2 = int (*)(const char*, int, const char*);
    const auto normalize2 = library.Find<Normalize2>("OnDataNormalize2");
    ASSERT_NE(nullptr, normalize2);

    const quarnel::testkit::TempFolder folder;
    const std::string grid = "DSAA\n2 1\n0 1\n0 0\n10 20\n10 20\n";
    const std::string input = folder.Write("in.grd", grid);
    const std::string output = folder / "out.grd";
    for (int kind : {3, -1, 4, INT_MIN, INT_MAX}) {
        EXPECT_EQ(-1, normalize2(input.c_str(), kind, output.c_str())) << "kind " << kind;
        EXPECT_FALSE(std::filesystem::exists(output)) << "kind " << kind;
    }
    EXPECT_EQ(grid, quarnel::testkit::ReadFile(input));
}

}  // namespace
