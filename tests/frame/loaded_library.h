#pragma once
// libquarnel.so opened with dlopen for the length of a test.
#include <dlfcn.h>
#include <gtest/gtest.h>

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
