#include <cstdint>
#include <string_view>
#include <vector>

#include "jobs/bp/network_file.h"
#include "formats/grid/c_number.h"
#include "formats/grid/next_token.h"

namespace quarnel {
namespace {

std::string_view NextLine(CStdioFile& file, CString& line) {
    file.ReadString(line);
    return {line.GetString(), std::size_t(line.GetLength())};
}

void ReadValueLine(CStdioFile& file, double* values, int count) {
    CString line;
    std::string_view rest = NextLine(file, line);
    for (int i = 0; i < count; ++i) values[i] = AtofText(GetNextToken(rest));
}

void ReadValueRows(CStdioFile& file, std::vector<double>& values, int rows, int cols) {
    for (int r = 0; r < rows; ++r)
        ReadValueLine(file, values.data() + std::size_t(r) * std::size_t(cols), cols);
}

// Every value the writer puts down takes at least one byte, so counts that promise more values
// than the file has bytes come from no network file (a few bytes could otherwise demand
// gigabytes of zero weights); they are refused before anything is sized by them.
bool FileCanHoldValues(const CStdioFile& file, const BPNetwork& network) {
    const std::uint64_t inputs = std::uint64_t(network.inputCount);
    const std::uint64_t hidden = std::uint64_t(network.hiddenCount);
    const std::uint64_t outputs = std::uint64_t(network.outputCount);
    return hidden + outputs + inputs * hidden + hidden * outputs <= file.GetLength();
}

}  // namespace

NetworkFileStatus ReadNetworkCounts(CStdioFile& file, BPNetwork& network) {
    CString line;
    std::string_view rest = NextLine(file, line);
    network.inputCount = AtoiText(GetNextToken(rest));
    network.hiddenCount = AtoiText(GetNextToken(rest));
    network.outputCount = AtoiText(GetNextToken(rest));
    network.trainError = AtofText(GetNextToken(rest));
    bool usable = !file.LineTooLong() && network.inputCount >= 1 && network.hiddenCount >= 1 &&
                  network.outputCount >= 1;
    return usable && FileCanHoldValues(file, network) ? NetworkFileStatus::ok : NetworkFileStatus::bad_counts;
}

NetworkFileStatus ReadNetworkValues(CStdioFile& file, BPNetwork& network) {
    ReadValueLine(file, network.hiddenThreshold.data(), network.hiddenCount);
    ReadValueLine(file, network.outputThreshold.data(), network.outputCount);
    ReadValueRows(file, network.weightInputHidden, network.inputCount, network.hiddenCount);
    ReadValueRows(file, network.weightHiddenOutput, network.hiddenCount, network.outputCount);
    return file.LineTooLong() ? NetworkFileStatus::line_too_long : NetworkFileStatus::ok;
}

NetworkFileStatus ReadNetworkFile(const char* path, BPNetwork& network) {
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) return NetworkFileStatus::cannot_open;
    NetworkFileStatus status = ReadNetworkCounts(file, network);
    if (status != NetworkFileStatus::ok) return status;
    network.Allocate(network.inputCount, network.hiddenCount, network.outputCount);
    return ReadNetworkValues(file, network);
}

const char* NetworkFileStatusText(NetworkFileStatus status) {
    switch (status) {
        case NetworkFileStatus::ok:
            return "";
        case NetworkFileStatus::cannot_open:
            return "cannot be opened";
        case NetworkFileStatus::bad_counts:
            return "the layer counts are below 1 or promise more values than the file has";
        case NetworkFileStatus::line_too_long:
            return "a line is longer than any network line can be";
    }
    return "cannot be read";
}

}  // namespace quarnel
