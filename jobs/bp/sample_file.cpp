#include "jobs/bp/sample_file.h"

#include <string_view>

#include "formats/afx/stdio_file.h"
#include "formats/grid/c_number.h"
#include "formats/grid/next_token.h"

namespace quarnel {
namespace {

constexpr const char* kSampleHeader = "BP Training Sample File !!!";

void ParseSampleLine(std::string_view rest, double* inputs, int inputCount, int* targets, int outputCount) {
    for (int i = 0; i < inputCount; ++i) inputs[i] = AtofText(GetNextToken(rest));
    for (int k = 0; k < outputCount; ++k) targets[k] = AtoiText(GetNextToken(rest));
}

}  // namespace

SampleFileStatus ReadSampleFile(const char* path, BPSampleSet& samples) {
    CStdioFile file;
    if (path == nullptr || !file.Open(path, CFile::modeRead | CFile::typeText))
        return SampleFileStatus::cannot_open;
    CString line;
    file.ReadString(line);
    if (line.TrimRight() != kSampleHeader) return SampleFileStatus::not_sample_file;
    for (int s = 0; s < samples.sampleCount; ++s) {
        if (!file.ReadString(line)) break;
        ParseSampleLine({line.GetString(), std::size_t(line.GetLength())}, samples.Inputs(s),
                        samples.inputCount, samples.Targets(s), samples.outputCount);
    }
    return file.LineTooLong() ? SampleFileStatus::line_too_long : SampleFileStatus::ok;
}

}  // namespace quarnel
