// Every array the job allocates itself comes from nothrow new[]. This program replaces the
// allocation functions (all of them, so the sanitizers see one allocator) and fails one chosen
// nothrow array allocation, to show that each one ends the job with 3070, a report cut short
// and no file left open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "jobs/feature/feature_status.h"
#include "feature_files.h"
#include "jobs/frame/quarnel.h"

namespace {

// Fail the nth nothrow array allocation of exactly size bytes after arming.
struct FailurePlan {
    std::size_t size = 0;
    int nth = 0;
    int seen = 0;
};
FailurePlan plan;

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (size == plan.size && ++plan.seen == plan.nth) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace quarnel {
namespace {

using test::GridText;
using test::ParamText;
using testkit::OpenFileCount;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

// Three variables (arrays of 12 floats per vector, 36 per matrix) and five model units (20
// bytes per unit array), so every array the job allocates is told apart by its size.
class AllocationFailure : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"a", "b", "c"}) {
            WriteFile(folder_ / name, GridText(2, 3, {0, 5, 2, 5, 5, 0}));
        }
        WriteFile(folder_ / "units.txt", "u 5\n1 0 1 1\n2 0 0 1\n3 1 0 1\n4 1 1 1\n5 1 2 1\n");
        WriteFile(folder_ / "params.txt",
                  ParamText({{"a", "1", "3", folder_ / "a"},
                             {"b", "1", "3", folder_ / "b"},
                             {"c", "1", "3", folder_ / "c"}},
                            1, folder_ / "units.txt", 1, folder_ / "score.grd", folder_ / "report.txt"));
    }

    int RunFailing(std::size_t size, int nth) {
        plan = {size, nth, 0};
        const int before = OpenFileCount();
        const int status = qelFeater((folder_ / "params.txt").c_str());
        EXPECT_EQ(OpenFileCount(), before);
        plan = {};
        return status;
    }
    std::string Report() const { return ReadFile(folder_ / "report.txt"); }
    bool Scored() const { return test::FileExists(folder_ / "score.grd"); }

    TempFolder folder_;
};

TEST_F(AllocationFailure, NothingFailsWithoutAPlan) {
    EXPECT_EQ(RunFailing(0, 0), kFeatureOk);
    EXPECT_NE(Report().find(" Ok\n\n"), std::string::npos);
}

TEST_F(AllocationFailure, ProductMatrix) {
    EXPECT_EQ(RunFailing(36, 1), kFeatureNoMemory);
    EXPECT_EQ(Report().find("乘积矩阵："), std::string::npos);
    EXPECT_FALSE(Scored());
}

TEST_F(AllocationFailure, CodeVector) {
    EXPECT_EQ(RunFailing(12, 1), kFeatureNoMemory);
    EXPECT_EQ(Report().find("乘积矩阵："), std::string::npos);
}

TEST_F(AllocationFailure, UnitArraysWhileBuildingTheMatrix) {
    for (int nth = 1; nth <= 3; ++nth) {
        EXPECT_EQ(RunFailing(20, nth), kFeatureNoMemory) << nth;
        EXPECT_EQ(Report().find("乘积矩阵："), std::string::npos);
    }
}

TEST_F(AllocationFailure, WeightVector) {
    EXPECT_EQ(RunFailing(12, 2), kFeatureNoMemory);
    EXPECT_NE(Report().find("乘积矩阵："), std::string::npos);
    EXPECT_EQ(Report().find("归一化"), std::string::npos);
}

TEST_F(AllocationFailure, EigenvectorMatrix) {
    EXPECT_EQ(RunFailing(36, 2), kFeatureNoMemory);
    EXPECT_EQ(Report().find("归一化"), std::string::npos);
    EXPECT_FALSE(Scored());
}

TEST_F(AllocationFailure, UnitArraysWhileScoring) {
    EXPECT_EQ(RunFailing(20, 5), kFeatureNoMemory);
    EXPECT_NE(Report().find("变量权"), std::string::npos);
    EXPECT_EQ(Report().find("模型单元回判结果"), std::string::npos);
    EXPECT_EQ(Report().find(" Ok"), std::string::npos);
}

}  // namespace
}  // namespace quarnel
