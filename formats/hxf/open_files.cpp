#include "formats/hxf/open_files.h"

#include <climits>
#include <map>

#include "formats/grid/input_file.h"

namespace hxf {

namespace {

struct Table {
    std::mutex mutex;
    std::map<int, std::unique_ptr<OpenFile>> files;
    int lastHandle = 0;
};

Table& TheTable() {
    static Table table;
    return table;
}

bool SeekToEnd(std::FILE* file) {
#if defined(_WIN32)
    return _fseeki64(file, 0, SEEK_END) == 0;
#else
    return fseeko(file, 0, SEEK_END) == 0;
#endif
}

std::int64_t Tell(std::FILE* file) {
#if defined(_WIN32)
    return _ftelli64(file);
#else
    return ftello(file);
#endif
}

bool ReadIds(OpenFile& open) {
    const std::uint64_t record = GridRecordSize(open.header.elementType, open.header.rows, open.header.cols);
    open.ids.resize(static_cast<std::size_t>(open.header.gridCount));
    std::uint64_t offset = kHeaderSize;
    for (auto& id : open.ids) {
        if (!SeekTo(open.file, offset) || std::fread(id.data(), 1, kIdSize, open.file) != kIdSize)
            return false;
        if (std::memchr(id.data(), '\0', kIdSize) == nullptr) return false;
        offset += record;
    }
    return true;
}

}  // namespace

OpenFile::~OpenFile() {
    if (file != nullptr) std::fclose(file);
}

bool SeekTo(std::FILE* file, std::uint64_t offset) {
    if (offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
#if defined(_WIN32)
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::unique_ptr<OpenFile> OpenHxfFile(const char* path) {
    if (path == nullptr) return nullptr;
    auto open = std::make_unique<OpenFile>();
    open->file = quarnel::OpenInputFile(path);
    if (open->file == nullptr || !SeekToEnd(open->file)) return nullptr;
    const std::int64_t length = Tell(open->file);
    unsigned char bytes[kHeaderSize];
    if (length < static_cast<std::int64_t>(kHeaderSize) || !SeekTo(open->file, 0) ||
        std::fread(bytes, 1, kHeaderSize, open->file) != kHeaderSize || !DecodeHeader(bytes, open->header))
        return nullptr;
    const auto actual = static_cast<std::uint64_t>(length);
    if (FileSize(open->header, actual) != actual || !ReadIds(*open)) return nullptr;
    return open;
}

std::unique_lock<std::mutex> LockOpenFiles() {
    return std::unique_lock<std::mutex>(TheTable().mutex);
}

int AddOpenFile(std::unique_ptr<OpenFile> file) {
    Table& table = TheTable();
    // Handles count up and skip 0 and any still in use, so a stale handle rarely meets a new file.
    for (int tries = 0; tries < 1024; ++tries) {
        table.lastHandle = table.lastHandle == INT_MAX ? 1 : table.lastHandle + 1;
        if (table.files.count(table.lastHandle) == 0) {
            table.files.emplace(table.lastHandle, std::move(file));
            return table.lastHandle;
        }
    }
    return 0;
}

OpenFile* FindOpenFile(int handle) {
    Table& table = TheTable();
    const auto it = table.files.find(handle);
    return it == table.files.end() ? nullptr : it->second.get();
}

bool RemoveOpenFile(int handle) {
    return TheTable().files.erase(handle) != 0;
}

}  // namespace hxf
