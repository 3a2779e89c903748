// Loading one grid of an HXF file into a typed array.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "formats/hxf/ihxf.h"
#include "formats/hxf/open_files.h"
#include "formats/hxf/value_convert.h"
#include "formats/kor/cxarray.h"

namespace {

constexpr std::size_t kChunkValues = 16 * 1024;

// Decodes `count` little-endian values of type From and stores them converted to To.
template <class From, class To>
void DecodeValues(const unsigned char* bytes, std::size_t count, To* out) {
    for (std::size_t i = 0; i < count; ++i)
        out[i] = hxf::ConvertValue<To>(hxf::LoadLittleEndian<From>(bytes + i * sizeof(From)));
}

template <class To>
void DecodeAs(int fileType, const unsigned char* bytes, std::size_t count, To* out) {
    switch (fileType) {
        case HXF_CHAR:
            return DecodeValues<char>(bytes, count, out);
        case HXF_UCHAR:
            return DecodeValues<unsigned char>(bytes, count, out);
        case HXF_SHORT:
            return DecodeValues<short>(bytes, count, out);
        case HXF_USHORT:
            return DecodeValues<unsigned short>(bytes, count, out);
        case HXF_INT:
        case HXF_LONG:
            return DecodeValues<std::int32_t>(bytes, count, out);
        case HXF_FLOAT:
            return DecodeValues<float>(bytes, count, out);
        case HXF_DOUBLE:
            return DecodeValues<double>(bytes, count, out);
        default:
            return;
    }
}

// Finds the record of grid `id`; false when the file has none.
bool FindGrid(const hxf::OpenFile& open, const char* id, std::uint64_t& offset) {
    const std::uint64_t record =
        hxf::GridRecordSize(open.header.elementType, open.header.rows, open.header.cols);
    offset = hxf::kHeaderSize;
    for (const auto& stored : open.ids) {
        if (std::strncmp(stored.data(), id, hxf::kIdSize) == 0) return true;
        offset += record;
    }
    return false;
}

// Reads the values of the grid whose record starts at `offset` into `array`, already sized.
template <class To>
bool ReadValues(const hxf::OpenFile& open, std::uint64_t offset, CxArray<To>& array) {
    const std::size_t valueSize = hxf::ElementSize(open.header.elementType);
    std::size_t left = static_cast<std::size_t>(array.GetRows()) * static_cast<std::size_t>(array.GetCols());
    std::vector<unsigned char> chunk(std::min(left, kChunkValues) * valueSize);
    if (!hxf::SeekTo(open.file, offset + hxf::kIdSize)) return false;
    To* out = array.Data();
    while (left > 0) {
        const std::size_t count = std::min(left, kChunkValues);
        if (std::fread(chunk.data(), valueSize, count, open.file) != count) return false;
        DecodeAs(open.header.elementType, chunk.data(), count, out);
        out += count;
        left -= count;
    }
    return true;
}

template <class To>
int LoadInto(int handle, const char* id, CxArray<To>& array) {
    array.Resize(0, 0);
    const auto lock = hxf::LockOpenFiles();
    const hxf::OpenFile* open = hxf::FindOpenFile(handle);
    if (open == nullptr) return HXF_ERR_HANDLE;
    std::uint64_t offset = 0;
    if (id == nullptr || !FindGrid(*open, id, offset)) return HXF_ERR_NOT_FOUND;
    if (!array.Resize(open->header.rows, open->header.cols)) return HXF_ERR_MEMORY;
    int status = HXF_ERR_IO;
    try {
        if (ReadValues(*open, offset, array)) return HXF_OK;
    } catch (const std::bad_alloc&) {
        status = HXF_ERR_MEMORY;
    }
    array.Resize(0, 0);
    return status;
}

template <class To>
int LoadRequested(int handle, const char* id, void* array) {
    return LoadInto(handle, id, *static_cast<CxArray<To>*>(array));
}

}  // namespace

extern "C" IHXF_API int LoadGridData(int handle, const char* id, HXFLoadRequest* request) {
    if (request == nullptr || request->array == nullptr) return HXF_ERR_ARGUMENT;
    try {
        switch (request->elementType) {
            case HXF_CHAR:
                return LoadRequested<char>(handle, id, request->array);
            case HXF_UCHAR:
                return LoadRequested<unsigned char>(handle, id, request->array);
            case HXF_SHORT:
                return LoadRequested<short>(handle, id, request->array);
            case HXF_USHORT:
                return LoadRequested<unsigned short>(handle, id, request->array);
            case HXF_INT:
            case HXF_LONG:
                return LoadRequested<int>(handle, id, request->array);
            case HXF_FLOAT:
                return LoadRequested<float>(handle, id, request->array);
            case HXF_DOUBLE:
                return LoadRequested<double>(handle, id, request->array);
            default:
                return HXF_ERR_ARGUMENT;
        }
    } catch (...) {
        return HXF_ERR_MEMORY;
    }
}
