#include "formats/hxf/hxf_layout.h"

#include <climits>

namespace hxf {

namespace {

// Field offsets inside the header.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kTypeAt = 10;
constexpr std::size_t kRowsAt = 12;
constexpr std::size_t kColsAt = 16;
constexpr std::size_t kCountAt = 20;
constexpr std::size_t kGcsAt = 24;

}  // namespace

std::size_t ElementSize(int elementType) {
    switch (elementType) {
        case HXF_CHAR:
        case HXF_UCHAR:
            return 1;
        case HXF_SHORT:
        case HXF_USHORT:
            return 2;
        case HXF_INT:
        case HXF_LONG:
        case HXF_FLOAT:
            return 4;
        case HXF_DOUBLE:
            return 8;
        default:
            return 0;
    }
}

std::uint64_t GridRecordSize(int elementType, std::int64_t rows, std::int64_t cols) {
    const std::size_t size = ElementSize(elementType);
    if (size == 0 || rows < 1 || cols < 1 || rows > INT_MAX || cols > INT_MAX || rows * cols > INT_MAX)
        return 0;
    return kIdSize + static_cast<std::uint64_t>(rows * cols) * size;
}

std::uint64_t FileSize(const Header& header, std::uint64_t limit) {
    const std::uint64_t record = GridRecordSize(header.elementType, header.rows, header.cols);
    if (record == 0 || header.gridCount < 0 || limit < kHeaderSize) return 0;
    if (static_cast<std::uint64_t>(header.gridCount) > (limit - kHeaderSize) / record) return 0;
    return kHeaderSize + static_cast<std::uint64_t>(header.gridCount) * record;
}

void EncodeHeader(const Header& header, unsigned char (&bytes)[kHeaderSize]) {
    std::memset(bytes, 0, kHeaderSize);
    std::memcpy(bytes, kMagic, sizeof kMagic);
    StoreLittleEndian(kVersion, bytes + kVersionAt);
    StoreLittleEndian(header.elementType, bytes + kTypeAt);
    StoreLittleEndian(header.rows, bytes + kRowsAt);
    StoreLittleEndian(header.cols, bytes + kColsAt);
    StoreLittleEndian(header.gridCount, bytes + kCountAt);
    unsigned char* gcs = bytes + kGcsAt;
    StoreLittleEndian(header.gcs.code, gcs);
    StoreLittleEndian(header.gcs.originX, gcs + 8);
    StoreLittleEndian(header.gcs.originY, gcs + 16);
    StoreLittleEndian(header.gcs.cellWidth, gcs + 24);
    StoreLittleEndian(header.gcs.cellHeight, gcs + 32);
}

bool DecodeHeader(const unsigned char (&bytes)[kHeaderSize], Header& header) {
    if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return false;
    if (LoadLittleEndian<std::uint16_t>(bytes + kVersionAt) != kVersion) return false;
    header.elementType = LoadLittleEndian<std::int16_t>(bytes + kTypeAt);
    header.rows = LoadLittleEndian<std::int32_t>(bytes + kRowsAt);
    header.cols = LoadLittleEndian<std::int32_t>(bytes + kColsAt);
    header.gridCount = LoadLittleEndian<std::int32_t>(bytes + kCountAt);
    const unsigned char* gcs = bytes + kGcsAt;
    header.gcs.code = LoadLittleEndian<std::int32_t>(gcs);
    header.gcs.reserved = 0;
    header.gcs.originX = LoadLittleEndian<double>(gcs + 8);
    header.gcs.originY = LoadLittleEndian<double>(gcs + 16);
    header.gcs.cellWidth = LoadLittleEndian<double>(gcs + 24);
    header.gcs.cellHeight = LoadLittleEndian<double>(gcs + 32);
    return ElementSize(header.elementType) != 0;
}

}  // namespace hxf
