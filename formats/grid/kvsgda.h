#pragma once
// KVSGDA01 text grids: a word (the format name, not checked), rows and cols, two reals, four
// reals and blankValue, then rows x cols values row after row. The analysis jobs read up to
// fifty of them in lockstep, a value at a time, and write their result grid a cell at a time.
#include <cstdint>
#include <string>

#include "formats/grid/scan_stream.h"
#include "formats/grid/text_sink.h"

namespace quarnel {

struct KvsgdaHeader {
    std::string word = "KVSGDA01";  // at most kMaxKvsgdaWord bytes
    std::int32_t rows = 0;
    std::int32_t cols = 0;
    float reals[6] = {};  // carried from input to output unchanged
    float blankValue = 0.0f;
};

inline constexpr std::size_t kMaxKvsgdaWord = 51;

class KvsgdaReader {
  public:
    // Opens path read-only; false when it cannot be opened.
    bool Open(const char* path);
    void Close() { stream_.Close(); }

    // "%s" (too_long past kMaxKvsgdaWord bytes), "%ld%ld", "%f%f", "%f%f%f%f", "%f". Counts
    // that are not positive, or more values than the file could hold (each takes at least two
    // bytes), are out_of_range, reported at the rows token.
    ScanResult ReadHeader(KvsgdaHeader* header);
    // The next value ("%f"); end_of_input when the grid holds fewer values than promised,
    // not_finite for inf or nan.
    ScanResult Next(float& value);

  private:
    ScanStream stream_;
};

enum class KvsgdaLayout {
    // "KVSGDA01\n%12ld%12ld", "%10.2f %10.2f\n", four "%10.2f" with blanks and "\n",
    // "%10.2f\n"; values "%8.2f", "\n" after every tenth value of a row and at each row's end.
    hierarchy,
    // "%s\n%10ld %10ld %10.2f %10.2f\n" (the header's word), four "%10.2f" with blanks and
    // "\n", "%10.2f\n"; values "%8.2f", "\n" at each row's end.
    feature,
};

class KvsgdaWriter {
  public:
    // Creates or truncates path, its lines to end as the platform's text files do
    // (kTextFileLineEnds); false when it cannot be created.
    bool Open(const char* path, KvsgdaLayout layout);
    void WriteHeader(const KvsgdaHeader& header);
    // The next cell, row by row; the line breaks of the layout follow from the header's cols.
    void Put(double value);
    // False when a write failed, or when the values put are not rows x cols.
    bool Close();

  private:
    TextSink sink_;
    KvsgdaLayout layout_ = KvsgdaLayout::hierarchy;
    std::int64_t cells_ = -1;  // rows x cols once the header is written
    std::int64_t written_ = 0;
    std::int32_t cols_ = 0;
    std::int32_t column_ = 0;
};

}  // namespace quarnel
