#include "formats/grid/dsaa_writer.h"

#include <algorithm>

#include "formats/grid/text_sink.h"

namespace quarnel {
namespace {

void PutTwoDecimalRows(TextSink& sink, const double* const* values, int rows, int cols) {
    for (int r = 0; r < rows; ++r) {
        sink.FixedRow(values[r], std::size_t(cols), 6, 2, "  ");
        sink.Put('\n');
    }
}

}  // namespace

bool WriteNormalisedDsaa(const char* path, const double* const* values, int rows, int cols) {
    TextSink sink;
    if (!sink.Open(path, kTextFileLineEnds)) return false;
    sink.Print("%s\n", "DSAA");
    sink.Print("%d %d\n", cols, rows);
    sink.Print("%d %d\n", 0, cols - 1);
    sink.Print("%d %d\n", 0, rows - 1);
    sink.Print("%6.2f  %6.2f\n", 0.0, 1.0);
    PutTwoDecimalRows(sink, values, rows, cols);
    return sink.Close();
}

bool WriteStatisticsDsaa(TextSink& sink, const double* const* values, int rows, int cols) {
    sink.Print("%s\n", "DSAA");
    sink.Print("%d %d\n", cols, rows);
    sink.Print("%f %f\n", 0.0, double(cols - 1));
    sink.Print("%f %f\n", 0.0, double(rows - 1));
    sink.Print("%f %f\n", 0.0, 1.0);
    PutTwoDecimalRows(sink, values, rows, cols);
    return sink.Finish();
}

bool WriteClassDsaa(const char* path, const int* classes, int nx, int ny) {
    TextSink sink;
    if (!sink.Open(path, kTextFileLineEnds)) return false;
    const long long cells = (long long)nx * ny;
    int smallest = 9999;
    int largest = 0;
    for (long long s = 0; s < cells; ++s) {
        smallest = std::min(smallest, classes[s]);
        largest = std::max(largest, classes[s]);
    }
    sink.Print("%s\n", "DSAA");
    sink.Print("%d %d\n", nx, ny);
    sink.Print("%d %d\n", 1, nx);
    sink.Print("%d %d\n", 1, ny);
    sink.Print("%d %d\n", smallest, largest);
    for (int r = 0; r < ny; ++r) {
        for (int c = 0; c < nx; ++c) {
            sink.Int(classes[(long long)r * nx + c]);
            sink.Put(' ');
        }
        sink.Put('\n');
    }
    return sink.Close();
}

}  // namespace quarnel
