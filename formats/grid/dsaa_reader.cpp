#include "formats/grid/dsaa_reader.h"

#include <string>

#include "formats/grid/finite.h"
#include "formats/grid/scan_stream.h"

namespace quarnel {
namespace {

GridReadStatus FromScan(ScanStatus status) {
    switch (status) {
        case ScanStatus::ok:
            return GridReadStatus::ok;
        case ScanStatus::end_of_input:
            return GridReadStatus::too_short;
        case ScanStatus::out_of_range:
            return GridReadStatus::bad_size;
        case ScanStatus::read_error:
            return GridReadStatus::read_error;
        case ScanStatus::not_finite:
            return GridReadStatus::not_finite;
        case ScanStatus::no_match:
        case ScanStatus::too_long:
            break;
    }
    return GridReadStatus::malformed;
}

GridReadResult Failed(const ScanResult& scan) {
    return {FromScan(scan.status), scan.position};
}

bool IsDsaaWord(std::string word) {
    for (char& c : word) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return word == "DSAA";
}

}  // namespace

GridReadResult ReadDsaaGrid(const char* path, DsaaGrid* grid) {
    ScanStream stream;
    if (!stream.Open(path)) return {GridReadStatus::not_found, 0};
    std::string word;
    ScanResult scan = stream.Word(word, 64);
    if (scan.status == ScanStatus::read_error) return Failed(scan);
    if (!scan.ok() || !IsDsaaWord(word)) return {GridReadStatus::not_dsaa, scan.position};

    std::int32_t nx = 0;
    std::int32_t ny = 0;
    if (!(scan = stream.Int(nx)).ok()) return Failed(scan);
    const std::uint64_t countsAt = scan.position;
    if (!(scan = stream.Int(ny)).ok()) return Failed(scan);
    for (float& range : grid->ranges) {
        if (!(scan = stream.Float(range)).ok()) return Failed(scan);
    }
    if (nx <= 0 || ny <= 0 || !stream.HasRoomFor(std::uint64_t(nx) * std::uint64_t(ny)))
        return {GridReadStatus::bad_size, countsAt};

    RowMatrix<double> values(AllocDoubleMatrix(ny, nx), ny);
    if (!values) return {GridReadStatus::out_of_memory, stream.Position()};
    for (int r = 0; r < ny; ++r) {
        const std::uint64_t rowAt = stream.Position();
        if (!(scan = stream.Floats(values[std::size_t(r)], std::size_t(nx))).ok()) return Failed(scan);
        if (!AllFinite(values[std::size_t(r)], std::size_t(nx))) return {GridReadStatus::not_finite, rowAt};
    }
    grid->nx = nx;
    grid->ny = ny;
    grid->values.Reset(values.Release(), ny);
    return {GridReadStatus::ok, stream.Position()};
}

}  // namespace quarnel
