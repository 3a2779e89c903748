#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "loaded_library.h"

namespace {

TEST(DispatcherTest, UnknownKindsReturnMinusOneAndTouchNoFile) {
    LoadedLibrary library(RTLD_LAZY | RTLD_LOCAL);
    ASSERT_NE(nullptr, library.handle()) << dlerror();
    using Normalize2 = int (*)(const char*, int, const char*);
    const auto normalize2 = library.Find<Normalize2>("OnDataNormalize2");
    ASSERT_NE(nullptr, normalize2);

    const auto dir = FreshTestDir();
    const std::string input = (dir / "in.grd").string();
    const std::string grid = "DSAA\n2 1\n0 1\n0 0\n10 20\n10 20\n";
    std::ofstream(input, std::ios::binary) << grid;
    const std::string output = (dir / "out.grd").string();
    for (int kind : {3, -1, 4, INT_MIN, INT_MAX}) {
        EXPECT_EQ(-1, normalize2(input.c_str(), kind, output.c_str())) << "kind " << kind;
        EXPECT_FALSE(std::filesystem::exists(output)) << "kind " << kind;
    }
    std::ostringstream kept;
    kept << std::ifstream(input, std::ios::binary).rdbuf();
    EXPECT_EQ(grid, kept.str());
    std::filesystem::remove_all(dir);
}

}  // namespace
