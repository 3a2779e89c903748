#pragma once
// KVSGDB01 binary grids: a 2176-byte little-endian header record, then rows x cols float32
// values, row after row (stored in the reverse of the DSAA row order). CKvbFile reads them;
// the library never writes one.
//
// Besides the historical steps, both reads refuse (no header, null matrix) a header that is
// cut short, and ReadGrid refuses counts that are not positive or that the file is too short
// to hold, before it allocates anything. Files are opened read-only.
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace quarnel {

struct KvbGridHeader {
    char magic[8];  // "KVSGDB01" in any letter case, no terminator
    std::int32_t rows;
    std::int32_t cols;
    unsigned char reserved16[48];
    float zMax;
    float zMin;
    unsigned char reserved72[4];
    float blankValue;
    unsigned char reserved80[2096];
};
inline constexpr std::size_t kKvbHeaderSize = 2176;
static_assert(sizeof(KvbGridHeader) == kKvbHeaderSize);
static_assert(offsetof(KvbGridHeader, rows) == 8 && offsetof(KvbGridHeader, cols) == 12);
static_assert(offsetof(KvbGridHeader, zMax) == 64 && offsetof(KvbGridHeader, zMin) == 68);
static_assert(offsetof(KvbGridHeader, blankValue) == 76);

class CKvbFile {
  public:
    CKvbFile();
    virtual ~CKvbFile();

    // Reads the header into the member and copies it to *out; on any failure *out keeps what
    // it held.
    void ReadHeader(const char* path, KvbGridHeader* out);
    // As ReadHeader, then the whole grid as rows rows of cols floats in stored order (release
    // with FreeRowMatrix(m, rows)); null when the file cannot be read whole or memory is short.
    float** ReadGrid(const char* path, KvbGridHeader* out);

    const KvbGridHeader& header() const { return header_; }

  private:
    bool LoadHeader(std::FILE* file);

    KvbGridHeader header_;
};

// The counts are positive and the file at path is long enough for the header and every value.
bool KvbFileHoldsGrid(const char* path, const KvbGridHeader& header);

// On Windows, sets the process's global locale to the GBK code page ".936", as the binary-grid
// reader always has. Elsewhere the host's locale is left alone: number reading and writing here
// never depend on it, and a host's own number printing must not change mid-run.
void SetGbkLocale();

}  // namespace quarnel
