#include <vector>

#include "jobs/bp/network_file.h"
#include "formats/grid/text_sink.h"

namespace quarnel {
namespace {

void WriteValueLine(TextSink& sink, const double* values, int count) {
    for (int i = 0; i < count; ++i) sink.Fixed(values[i], 12, 5);
    sink.Put('\n');
}

void WriteValueRows(TextSink& sink, const std::vector<double>& values, int rows, int cols) {
    for (int r = 0; r < rows; ++r)
        WriteValueLine(sink, values.data() + std::size_t(r) * std::size_t(cols), cols);
}

}  // namespace

bool WriteNetworkFile(const char* path, const BPNetwork& network) {
    TextSink sink;
    if (!sink.Open(path)) return false;
    PutNetwork(sink, network);
    return sink.Close();
}

void PutNetwork(TextSink& sink, const BPNetwork& network) {
    sink.Print("%10d  %10d  %10d  %20.8f\n", network.inputCount, network.hiddenCount, network.outputCount,
               network.trainError);
    WriteValueLine(sink, network.hiddenThreshold.data(), network.hiddenCount);
    WriteValueLine(sink, network.outputThreshold.data(), network.outputCount);
    WriteValueRows(sink, network.weightInputHidden, network.inputCount, network.hiddenCount);
    WriteValueRows(sink, network.weightHiddenOutput, network.hiddenCount, network.outputCount);
}

}  // namespace quarnel
