#pragma once
// The files opened by GetHXFHandle, by handle. An entry is only used while the caller holds the
// lock returned by LockOpenFiles, so a handle cannot be closed under a running call.
#include <array>
#include <cstdio>
#include <memory>
#include <mutex>
#include <vector>

#include "formats/hxf/hxf_layout.h"

namespace hxf {

struct OpenFile {
    OpenFile() = default;
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile();

    std::FILE* file = nullptr;
    Header header;
    std::vector<std::array<char, kIdSize>> ids;  // each NUL-terminated
};

// Opens and checks an HXF file: the header, the file size the header implies and every
// identifier. Null when the file cannot be opened or anything does not hold.
std::unique_ptr<OpenFile> OpenHxfFile(const char* path);

// Seeks the file to an absolute offset; false on failure.
bool SeekTo(std::FILE* file, std::uint64_t offset);

std::unique_lock<std::mutex> LockOpenFiles();
// The new entry's handle, or 0 when no handle is free. Needs the lock.
int AddOpenFile(std::unique_ptr<OpenFile> file);
// The entry of a handle, or null. Needs the lock.
OpenFile* FindOpenFile(int handle);
// Closes the entry's file; false for an unknown handle. Needs the lock.
bool RemoveOpenFile(int handle);

}  // namespace hxf
