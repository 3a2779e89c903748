#include "grid/same_file.h"

#include <filesystem>
#include <system_error>

#include "grid/native_path.h"

namespace quarnel {

bool SameExistingFile(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    std::error_code error;
    bool same = std::filesystem::equivalent(NativePath(a), NativePath(b), error);
    return !error && same;
}

}  // namespace quarnel
