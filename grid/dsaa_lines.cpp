#include "grid/dsaa_lines.h"

#include <cmath>
#include <string_view>

#include "afx/stdio_file.h"
#include "grid/c_number.h"
#include "grid/next_token.h"

namespace quarnel {
namespace {

constexpr int kHeaderLines = 5;

std::string_view View(const CString& line) {
    return {line.GetString(), std::size_t(line.GetLength())};
}

std::string_view TrimBoth(std::string_view text) {
    constexpr const char* kSpace = " \t\r\n\v\f";
    std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

}  // namespace

DsaaLinesStatus ProbeDsaaLines(const char* path, DsaaLinesShape& shape) {
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) return DsaaLinesStatus::cannot_open;
    CString line;
    file.ReadString(line);
    if (TrimBoth(View(line)) != "DSAA") return DsaaLinesStatus::not_dsaa;
    file.ReadString(line);
    std::string_view rest = View(line);
    shape.nx = AtoiText(GetNextToken(rest));
    shape.ny = AtoiText(GetNextToken(rest));
    return file.LineTooLong() ? DsaaLinesStatus::line_too_long : DsaaLinesStatus::ok;
}

DsaaLineValues ReadDsaaLineValues(const char* path, const DsaaValueBlocks& out) {
    CStdioFile file;
    if (!file.Open(path, CFile::modeRead | CFile::typeText)) return {DsaaLinesStatus::cannot_open, 0};
    CString line;
    for (int i = 0; i < kHeaderLines; ++i) file.ReadString(line);
    std::uint64_t count = 0;
    while (file.ReadString(line)) {
        std::string_view rest = View(line);
        while (!rest.empty()) {
            std::string_view token = TrimBoth(GetNextToken(rest));
            if (token.empty()) continue;
            const double value = AtofText(token);
            if (!std::isfinite(value)) return {DsaaLinesStatus::not_finite, count};
            if (count < out.capacity) {
                const std::size_t k = std::size_t(count);
                out.blocks[k / out.blockValues][(k % out.blockValues) * out.stride] = value;
            }
            ++count;
        }
    }
    return {file.LineTooLong() ? DsaaLinesStatus::line_too_long : DsaaLinesStatus::ok, count};
}

}  // namespace quarnel
