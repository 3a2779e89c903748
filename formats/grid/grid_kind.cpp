#include "formats/grid/grid_kind.h"

#include <cstdio>
#include <string_view>

#include "formats/grid/input_file.h"

namespace quarnel {

bool IsKvbMagic(const char* magic) {
    const char kMagic[] = "KVSGDB01";
    for (int i = 0; i < 8; ++i) {
        const char c = magic[i] >= 'a' && magic[i] <= 'z' ? char(magic[i] - 'a' + 'A') : magic[i];
        if (c != kMagic[i]) return false;
    }
    return true;
}

GridFileKind DetectGridKind(const char* path) {
    std::FILE* file = OpenInputFile(path);
    if (file == nullptr) return GridFileKind::unreadable;
    char magic[8] = {};
    const std::size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    return got == sizeof magic && IsKvbMagic(magic) ? GridFileKind::kvsgdb01 : GridFileKind::text;
}

bool StartsAsDsaa(const char* path) {
    std::FILE* file = OpenInputFile(path);
    if (file == nullptr) return false;
    char prefix[kDsaaProbeBytes];
    const std::size_t got = std::fread(prefix, 1, sizeof prefix, file);
    std::fclose(file);
    const std::string_view text(prefix, got);
    const std::string_view line = text.substr(0, text.find('\n'));
    const std::size_t first = line.find_first_not_of(" \t\r\v\f");
    if (first == std::string_view::npos) return false;
    const std::size_t last = line.find_last_not_of(" \t\r\v\f");
    // A first line that fills the prefix may go on: it is no "DSAA" line.
    return line.size() < text.size() && line.substr(first, last - first + 1) == "DSAA";
}

}  // namespace quarnel
