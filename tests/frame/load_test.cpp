#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "loaded_library.h"
#include "tests/testkit/testkit.h"

namespace {

// Runs the body with the working directory set to `dir`, where a stray file would land.
template <class Body>
void InDirectory(const std::filesystem::path& dir, Body body) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    body();
    std::filesystem::current_path(previous);
}

TEST(LibraryLoadTest, LoadAndUnloadWithoutCallingLeavesNoFile) {
    const quarnel::testkit::TempFolder folder;
    const std::filesystem::path dir = folder / ".";
    InDirectory(dir, [] {
        for (int round = 0; round < 2; ++round) {
            void* handle = dlopen(QUARNEL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
            ASSERT_NE(nullptr, handle) << dlerror();
            EXPECT_EQ(0, dlclose(handle)) << dlerror();
            EXPECT_EQ(nullptr, dlopen(QUARNEL_LIBRARY, RTLD_NOW | RTLD_NOLOAD))
                << "still loaded after dlclose";
        }
    });
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

}  // namespace
