// Writing an HXF file from grids held in memory.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "formats/grid/output_file.h"
#include "formats/hxf/hxf_layout.h"
#include "formats/hxf/ihxf.h"

namespace {

constexpr std::size_t kChunkValues = 16 * 1024;

// 1 to 31 characters, NUL-terminated within the 32-byte field, and unlike every other id.
bool IdsAreUsable(int gridCount, const char* const* gridIds) {
    std::set<std::string> seen;
    for (int g = 0; g < gridCount; ++g) {
        const char* id = gridIds[g];
        if (id == nullptr) return false;
        const std::size_t length = strnlen(id, hxf::kIdSize);
        if (length == 0 || length >= hxf::kIdSize || !seen.insert(std::string(id, length)).second)
            return false;
    }
    return true;
}

bool ArgumentsAreUsable(const char* path, int elementType, int rows, int cols, int gridCount,
                        const char* const* gridIds, const void* const* gridValues) {
    if (path == nullptr || gridCount < 0 || hxf::GridRecordSize(elementType, rows, cols) == 0) return false;
    if (gridCount == 0) return true;
    if (gridIds == nullptr || gridValues == nullptr || !IdsAreUsable(gridCount, gridIds)) return false;
    for (int g = 0; g < gridCount; ++g)
        if (gridValues[g] == nullptr) return false;
    return true;
}

template <class T>
void EncodeValues(const void* values, std::size_t first, std::size_t count, unsigned char* out) {
    const T* typed = static_cast<const T*>(values) + first;
    for (std::size_t i = 0; i < count; ++i) hxf::StoreLittleEndian(typed[i], out + i * sizeof(T));
}

void EncodeAs(int elementType, const void* values, std::size_t first, std::size_t count, unsigned char* out) {
    switch (elementType) {
        case HXF_CHAR:
            return EncodeValues<char>(values, first, count, out);
        case HXF_UCHAR:
            return EncodeValues<unsigned char>(values, first, count, out);
        case HXF_SHORT:
            return EncodeValues<short>(values, first, count, out);
        case HXF_USHORT:
            return EncodeValues<unsigned short>(values, first, count, out);
        case HXF_INT:
        case HXF_LONG:
            return EncodeValues<std::int32_t>(values, first, count, out);
        case HXF_FLOAT:
            return EncodeValues<float>(values, first, count, out);
        case HXF_DOUBLE:
            return EncodeValues<double>(values, first, count, out);
        default:
            return;
    }
}

bool WriteGrid(std::FILE* file, int elementType, std::size_t cells, const char* id, const void* values) {
    char idField[hxf::kIdSize] = {};
    std::strncpy(idField, id, sizeof idField - 1);  // ids are checked shorter; the field stays NUL-ended
    if (std::fwrite(idField, 1, sizeof idField, file) != sizeof idField) return false;
    const std::size_t valueSize = hxf::ElementSize(elementType);
    std::vector<unsigned char> chunk(std::min(cells, kChunkValues) * valueSize);
    for (std::size_t first = 0; first < cells; first += kChunkValues) {
        const std::size_t count = std::min(cells - first, kChunkValues);
        EncodeAs(elementType, values, first, count, chunk.data());
        if (std::fwrite(chunk.data(), valueSize, count, file) != count) return false;
    }
    return true;
}

bool WriteAll(std::FILE* file, const hxf::Header& header, const char* const* gridIds,
              const void* const* gridValues) {
    unsigned char bytes[hxf::kHeaderSize];
    hxf::EncodeHeader(header, bytes);
    if (std::fwrite(bytes, 1, sizeof bytes, file) != sizeof bytes) return false;
    const std::size_t cells = static_cast<std::size_t>(header.rows) * static_cast<std::size_t>(header.cols);
    for (int g = 0; g < header.gridCount; ++g)
        if (!WriteGrid(file, header.elementType, cells, gridIds[g], gridValues[g])) return false;
    return true;
}

}  // namespace

extern "C" IHXF_API int WriteHXFFile(const char* path, int elementType, int rows, int cols, int gridCount,
                                     const char* const* gridIds, const void* const* gridValues) {
    try {
        if (!ArgumentsAreUsable(path, elementType, rows, cols, gridCount, gridIds, gridValues))
            return HXF_ERR_ARGUMENT;
        hxf::Header header;
        header.elementType = static_cast<std::int16_t>(elementType);
        header.rows = rows;
        header.cols = cols;
        header.gridCount = gridCount;
        quarnel::OutputFile file;
        if (!file.Create(path)) return HXF_ERR_IO;
        bool written = false;
        try {
            written = WriteAll(file.stream(), header, gridIds, gridValues);
        } catch (...) {
            written = false;
        }
        return written && file.Commit() ? HXF_OK : HXF_ERR_IO;
    } catch (...) {
        return HXF_ERR_MEMORY;
    }
}
