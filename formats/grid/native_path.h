#pragma once
// A path argument as std::filesystem must see it. The library's paths are 8-bit strings in the
// system code page, handed as they are to fopen; std::filesystem on Windows would read the same
// bytes as UTF-8 and miss every file with a Chinese (GBK) name. There the path is widened from the
// ANSI code page first, as fopen does; elsewhere the bytes are the path. A path that cannot be
// converted gives an empty path, which names no file.
#include <filesystem>

namespace quarnel {

std::filesystem::path NativePath(const char* path);

}  // namespace quarnel
