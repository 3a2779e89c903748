#pragma once
// The HXF file layout (formats/hxf/FORMAT.md) shared by the reader and the writer: the 64-byte header,
// the element sizes, the shape limits and little-endian encoding of values.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "formats/hxf/ihxf.h"

namespace hxf {

inline constexpr char kMagic[8] = {'H', 'X', 'F', 'G', 'R', 'I', 'D', 'S'};
inline constexpr std::uint16_t kVersion = 1;
inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::size_t kIdSize = 32;

struct Header {
    std::int16_t elementType = 0;
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    std::int32_t gridCount = 0;
    HXFGridGCSInfo gcs{};
};

// Bytes per value of an element type, or 0 for a type HXF does not hold.
std::size_t ElementSize(int elementType);
// Bytes of one grid record (identifier and values), or 0 when the shape or type is not allowed:
// rows and cols at least 1 and rows × cols no more than INT_MAX cells.
std::uint64_t GridRecordSize(int elementType, std::int64_t rows, std::int64_t cols);
// Size of the whole file, or 0 when the header's counts cannot describe a file (also when the
// size would exceed `limit`, which keeps the arithmetic from overflowing).
std::uint64_t FileSize(const Header& header, std::uint64_t limit);

void EncodeHeader(const Header& header, unsigned char (&bytes)[kHeaderSize]);
// False when the bytes do not start an HXF file of a version and element type this reads.
bool DecodeHeader(const unsigned char (&bytes)[kHeaderSize], Header& header);

template <class T>
using SameSizeUnsigned =
    std::conditional_t<sizeof(T) == 1, std::uint8_t,
                       std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                          std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

template <class T>
T LoadLittleEndian(const unsigned char* bytes) {
    SameSizeUnsigned<T> bits = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<SameSizeUnsigned<T>>(SameSizeUnsigned<T>(bytes[i]) << (8 * i));
    return std::bit_cast<T>(bits);
}

template <class T>
void StoreLittleEndian(T value, unsigned char* bytes) {
    const auto bits = std::bit_cast<SameSizeUnsigned<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
}

}  // namespace hxf
