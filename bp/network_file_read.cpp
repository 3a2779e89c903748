#include <string_view>
#include <vector>

#include "bp/network_file.h"
#include "grid/c_number.h"
#include "grid/next_token.h"

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

}  // namespace

NetworkFileStatus ReadNetworkCounts(CStdioFile& file, BPNetwork& network) {
    CString line;
    std::string_view rest = NextLine(file, line);
    network.inputCount = AtoiText(GetNextToken(rest));
    network.hiddenCount = AtoiText(GetNextToken(rest));
    network.outputCount = AtoiText(GetNextToken(rest));
    network.trainError = AtofText(GetNextToken(rest));
    bool usable = network.inputCount >= 1 && network.hiddenCount >= 1 && network.outputCount >= 1;
    return usable ? NetworkFileStatus::ok : NetworkFileStatus::bad_counts;
}

void ReadNetworkValues(CStdioFile& file, BPNetwork& network) {
    ReadValueLine(file, network.hiddenThreshold.data(), network.hiddenCount);
    ReadValueLine(file, network.outputThreshold.data(), network.outputCount);
    ReadValueRows(file, network.weightInputHidden, network.inputCount, network.hiddenCount);
    ReadValueRows(file, network.weightHiddenOutput, network.hiddenCount, network.outputCount);
}

NetworkFileStatus ReadNetworkFile(const char* path, BPNetwork& network) {
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) return NetworkFileStatus::cannot_open;
    NetworkFileStatus status = ReadNetworkCounts(file, network);
    if (status != NetworkFileStatus::ok) return status;
    network.Allocate(network.inputCount, network.hiddenCount, network.outputCount);
    ReadNetworkValues(file, network);
    return NetworkFileStatus::ok;
}

}  // namespace quarnel
