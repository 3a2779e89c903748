#include "formats/grid/kvsgda.h"

#include <cmath>

namespace quarnel {

bool KvsgdaReader::Open(const char* path) {
    return stream_.Open(path);
}

ScanResult KvsgdaReader::ReadHeader(KvsgdaHeader* header) {
    ScanResult scan = stream_.Word(header->word, kMaxKvsgdaWord);
    if (!scan.ok() || !(scan = stream_.Int(header->rows)).ok()) return scan;
    const std::uint64_t rowsAt = scan.position;
    if (!(scan = stream_.Int(header->cols)).ok()) return scan;
    for (float& real : header->reals) {
        if (!(scan = stream_.Float(real)).ok()) return scan;
    }
    if (!(scan = stream_.Float(header->blankValue)).ok()) return scan;
    const bool fits = header->rows > 0 && header->cols > 0 &&
                      stream_.HasRoomFor(std::uint64_t(header->rows) * std::uint64_t(header->cols));
    return fits ? scan : ScanResult{ScanStatus::out_of_range, rowsAt};
}

ScanResult KvsgdaReader::Next(float& value) {
    const ScanResult scan = stream_.Float(value);
    return scan.ok() && !std::isfinite(value) ? ScanResult{ScanStatus::not_finite, scan.position} : scan;
}

bool KvsgdaWriter::Open(const char* path, KvsgdaLayout layout) {
    layout_ = layout;
    cells_ = -1;
    written_ = 0;
    cols_ = 0;
    column_ = 0;
    return sink_.Open(path, kTextFileLineEnds);
}

void KvsgdaWriter::WriteHeader(const KvsgdaHeader& header) {
    const float* r = header.reals;
    if (layout_ == KvsgdaLayout::hierarchy) {
        sink_.Print("KVSGDA01\n%12ld%12ld", long(header.rows), long(header.cols));
        sink_.Print("%10.2f %10.2f\n", r[0], r[1]);
    } else {
        sink_.Print("%s\n%10ld %10ld %10.2f %10.2f\n", header.word, long(header.rows), long(header.cols),
                    r[0], r[1]);
    }
    sink_.Print("%10.2f %10.2f %10.2f %10.2f\n", r[2], r[3], r[4], r[5]);
    sink_.Print("%10.2f\n", header.blankValue);
    cells_ = std::int64_t(header.rows) * header.cols;
    cols_ = header.cols;
}

void KvsgdaWriter::Put(double value) {
    sink_.Fixed(value, 8, 2);
    ++written_;
    ++column_;
    if (layout_ == KvsgdaLayout::hierarchy && column_ % 10 == 0) sink_.Put('\n');
    if (column_ == cols_) {
        sink_.Put('\n');
        column_ = 0;
    }
}

bool KvsgdaWriter::Close() {
    const bool complete = written_ == cells_;
    return sink_.Close() && complete;
}

}  // namespace quarnel
