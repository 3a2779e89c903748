#include "jobs/prep/status_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/prep/prep_files.h"

namespace quarnel::test {
namespace {

// The status tables (docs/statuses.md) are what users read; they must say what the CLI prints.
TEST(PrepStatusText, StatusPageSaysWhatTheHostPrints) {
    const std::string readme = ReadFile(std::string(QUARNEL_SOURCE_DIR) + "/docs/statuses.md");
    ASSERT_FALSE(readme.empty());
    const struct {
        const char* status;
        const char* text;
    } rows[] = {
        {"1", prep::NormalizeStatusText(1)},    {"0", prep::NormalizeStatusText(0)},
        {"-1", prep::Normalize2StatusText(-1)}, {"0", prep::NormalizeHxfStatusText(0)},
        {"1", prep::CalAvgVarStatusText(1)},    {"0", prep::CalAvgVarStatusText(0)},
    };
    for (const auto& row : rows) {
        const std::string line = std::string("| ") + row.status + " | " + row.text + " |\n";
        EXPECT_NE(readme.find(line), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace quarnel::test
