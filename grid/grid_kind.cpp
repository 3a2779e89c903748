#include "grid/grid_kind.h"

#include <cstdio>

#include "grid/input_file.h"

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

}  // namespace quarnel
