#pragma once
// Telling a KVSGDB01 binary grid from a text grid by its first eight bytes.
namespace quarnel {

enum class GridFileKind {
    unreadable,  // the file cannot be opened for reading
    kvsgdb01,    // starts with "KVSGDB01" in any letter case
    text,        // anything else, read as a DSAA text grid
};

GridFileKind DetectGridKind(const char* path);
inline bool IsKvbFile(const char* path) {
    return DetectGridKind(path) == GridFileKind::kvsgdb01;
}

// The file's first line, white space stripped at both ends, is exactly "DSAA"; only the first
// kDsaaProbeBytes bytes are read, so probing an endless file costs nothing.
inline constexpr int kDsaaProbeBytes = 256;
bool StartsAsDsaa(const char* path);

// The eight bytes at magic equal "KVSGDB01" without regard to letter case.
bool IsKvbMagic(const char* magic);

}  // namespace quarnel
