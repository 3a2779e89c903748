#include "formats/grid/kvb_file.h"

#include <bit>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "formats/grid/finite.h"
#include "formats/grid/grid_kind.h"
#include "formats/grid/input_file.h"
#include "formats/grid/matrix.h"
#include "formats/grid/native_path.h"

namespace quarnel {
namespace {

static_assert(std::endian::native == std::endian::little, "KVSGDB01 records are read as they lie in memory");

class File {
  public:
    explicit File(const char* path) : file_(OpenInputFile(path)) {}
    ~File() {
        if (file_ != nullptr) std::fclose(file_);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* get() const { return file_; }

  private:
    std::FILE* file_;
};

}  // namespace

void SetGbkLocale() {
#if defined(_WIN32)
    // The C++ library of this build knows no named locales (std::locale(".936") throws), so the
    // C run-time's global locale is set: the one its streams and conversions follow.
    std::setlocale(LC_ALL, ".936");
#endif
}

CKvbFile::CKvbFile() : header_() {}

CKvbFile::~CKvbFile() = default;

bool CKvbFile::LoadHeader(std::FILE* file) {
    KvbGridHeader header;
    if (file == nullptr || std::fread(&header, 1, sizeof header, file) != sizeof header) return false;
    if (!IsKvbMagic(header.magic)) return false;
    header_ = header;
    return true;
}

// A file that holds fewer values than its header promises would leave rows undefined, and a
// hostile header could ask for gigabytes: both are refused before anything is allocated.
bool KvbFileHoldsGrid(const char* path, const KvbGridHeader& header) {
    if (header.rows <= 0 || header.cols <= 0) return false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(NativePath(path), error);
    if (error) return false;
    const std::uint64_t needed = kKvbHeaderSize + std::uint64_t(header.rows) * std::uint64_t(header.cols) * 4;
    return size >= needed && std::uint64_t(header.cols) * 4 <= SIZE_MAX;
}

void CKvbFile::ReadHeader(const char* path, KvbGridHeader* out) {
    SetGbkLocale();
    const File file(path);
    if (LoadHeader(file.get())) *out = header_;
}

float** CKvbFile::ReadGrid(const char* path, KvbGridHeader* out) {
    SetGbkLocale();
    const File file(path);
    if (!LoadHeader(file.get())) return nullptr;
    *out = header_;
    // The header's range scales every cell: a range that is not finite would make them all nan.
    if (!KvbFileHoldsGrid(path, header_) || !std::isfinite(header_.zMin) || !std::isfinite(header_.zMax))
        return nullptr;
    const int rows = header_.rows;
    const int cols = header_.cols;
    float** grid = AllocRowMatrix<float>(rows, cols);
    if (grid == nullptr) return nullptr;
    for (int r = 0; r < rows; ++r) {
        if (std::fread(grid[r], sizeof(float), std::size_t(cols), file.get()) != std::size_t(cols) ||
            !AllFinite(grid[r], std::size_t(cols))) {
            FreeRowMatrix(grid, rows);
            return nullptr;
        }
    }
    return grid;
}

}  // namespace quarnel
