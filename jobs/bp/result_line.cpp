#include "jobs/bp/result_line.h"

#include "formats/grid/text_sink.h"

namespace quarnel {

std::string FormatResultLine(int sampleIndex, const int* targets, const int* bits, int outputCount) {
    std::string line;
    TextSink out;
    out.OpenMemory(&line);
    out.Print("样本序号为 %6d", sampleIndex);
    out.Put("真正的类别号为: ");
    for (int k = 0; k < outputCount; ++k) out.Int(targets[k], 2);
    out.Put("计算的类别号为: ");
    for (int k = 0; k < outputCount; ++k) out.Int(bits[k], 2);
    out.Put('\n');
    out.Close();
    return line;
}

}  // namespace quarnel
