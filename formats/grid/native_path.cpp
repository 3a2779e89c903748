#include "formats/grid/native_path.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace quarnel {

#if defined(_WIN32)
std::filesystem::path NativePath(const char* path) {
    const int length = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(std::size_t(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide.data(), length) != length) return {};
    wide.pop_back();
    return std::filesystem::path(wide);
}
#else
std::filesystem::path NativePath(const char* path) {
    return std::filesystem::path(path);
}
#endif

}  // namespace quarnel
