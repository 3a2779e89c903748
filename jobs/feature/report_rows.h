#pragma once
// Report lines of the feature-analysis job: values in one fixed format, nothing between
// them (the sink keeps a blank before a value wider than its field).
#include <string_view>

#include "formats/grid/text_sink.h"

namespace quarnel {

inline void WriteValues(TextSink& report, const float* values, int count, std::string_view format) {
    for (int i = 0; i < count; ++i) report.Print(format, values[i]);
}

// n rows of n values, each row ended by a line break.
inline void WriteMatrix(TextSink& report, const float* matrix, int n, std::string_view format) {
    for (int row = 0; row < n; ++row) {
        WriteValues(report, matrix + row * n, n, format);
        report.Put('\n');
    }
}

}  // namespace quarnel
