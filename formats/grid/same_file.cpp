#include "formats/grid/same_file.h"

#include <filesystem>
#include <system_error>

#include "formats/grid/native_path.h"

namespace quarnel {

namespace fs = std::filesystem;

fs::path FollowLinks(const fs::path& path) {
    fs::path file = path;
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(file, error)) || error) return file;
        const fs::path target = fs::read_symlink(file, error);
        if (error) return file;
        file = target.is_absolute() ? target : file.parent_path() / target;
    }
    return file;
}

bool SameExistingFile(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    std::error_code error;
    bool same = fs::equivalent(NativePath(a), NativePath(b), error);
    return !error && same;
}

bool SameOutputFile(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    if (SameExistingFile(a, b)) return true;
    const fs::path pathA = FollowLinks(NativePath(a));
    const fs::path pathB = FollowLinks(NativePath(b));
    // An empty path (one that could not be converted) names no file.
    if (pathA.empty() || pathB.empty()) return false;
    // Made absolute first: weakly_canonical leaves a relative path none of whose parts exist as
    // it is, so "m.tif" and "./m.tif" would differ.
    std::error_code error;
    const fs::path first = fs::weakly_canonical(fs::absolute(pathA, error), error);
    if (error) return false;
    const fs::path second = fs::weakly_canonical(fs::absolute(pathB, error), error);
    return !error && first == second;
}

}  // namespace quarnel
