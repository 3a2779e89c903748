#pragma once
// libquarnel.so opened with dlopen for the length of a test, and the paths a test works in.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class LoadedLibrary {
  public:
    explicit LoadedLibrary(int flags) : handle_(dlopen(QUARNEL_LIBRARY, flags)) {}
    ~LoadedLibrary() {
        if (handle_ != nullptr) dlclose(handle_);
    }
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    void* handle() const { return handle_; }
    template <class Fn>
    Fn Find(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle_, name));
    }

  private:
    void* handle_;
};

// An empty directory of the test's own, removed afterwards.
inline std::filesystem::path FreshTestDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::path(::testing::TempDir()) /
               (std::string("frame_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}
