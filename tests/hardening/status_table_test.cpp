// The status tables (docs/statuses.md) are what users read: every status a job returns has a row there,
// and the host prints the row's meaning word for word (the preparation jobs' rows are checked
// by their own tests). Statuses of a range name the item in the host's line.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "jobs/bp/bp_status.h"
#include "cli/evaluate_status.h"
#include "cli/interrupt.h"
#include "jobs/feature/feature_status.h"
#include "jobs/feature/feature_types.h"
#include "jobs/hierarchy/hierarchy_status.h"

namespace quarnel::hardening {
namespace {

// The rows "| status | meaning |" of docs/statuses.md between two anchors, by status (the heading
// row left out).
std::map<std::string, std::string> StatusRows(const std::string& from, const std::string& to) {
    std::ifstream in(std::string(QUARNEL_SOURCE_DIR) + "/docs/statuses.md");
    const std::string readme{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t begin = readme.find(from);
    const std::size_t end = readme.find(to, begin);
    std::map<std::string, std::string> rows;
    if (begin == std::string::npos || end == std::string::npos) return rows;
    std::size_t line = begin;
    while ((line = readme.find("\n| ", line)) < end) {
        const std::size_t split = readme.find(" | ", line + 3);
        const std::size_t close = readme.find(" |\n", split);
        rows[readme.substr(line + 3, split - line - 3)] = readme.substr(split + 3, close - split - 3);
        line = close;
    }
    rows.erase("Status");
    return rows;
}

TEST(StatusTables, BPTrainRowsAreWhatTheHostPrints) {
    const auto rows = StatusRows("**`OnBPTrain`**", "**`OnBPClass`**");
    ASSERT_EQ(rows.size(), 3u);
    for (int status : {kBPTrainDone, kBPTrainNoSampleFile, kBPTrainFailed}) {
        EXPECT_EQ(rows.at(std::to_string(status)), BPTrainStatusText(status));
    }
}

TEST(StatusTables, BPClassRowsAreWhatTheHostPrints) {
    const auto rows = StatusRows("**`OnBPClass`**", "<!-- status:hierarchy -->");
    ASSERT_EQ(rows.size(), 3u);
    for (int status : {kBPClassDone, kBPClassMisfit, kBPClassFailed}) {
        EXPECT_EQ(rows.at(std::to_string(status)), BPClassStatusText(status));
    }
}

TEST(StatusTables, HierarchyRowsAreWhatTheHostPrints) {
    namespace status = hierarchy_status;
    const auto rows = StatusRows("<!-- status:hierarchy -->", "<!-- status:feature -->");
    const int fixed[] = {status::kSuccess,
                         status::kParameterFileNotOpened,
                         status::kOutputGridNotCreated,
                         status::kNotTheKeyword,
                         status::kReportNotCreated,
                         status::kNoMemory,
                         status::kNotAnomalyTable,
                         status::kVariableCountMismatch,
                         status::kInconsistentMatrix,
                         status::kMalformedParameterFile,
                         status::kBadImportance,
                         status::kMalformedInput,
                         status::kOutputOverwritesInput,
                         status::kWriteFailed};
    ASSERT_EQ(rows.size(), std::size(fixed) + 2);
    for (int code : fixed) EXPECT_EQ(rows.at(std::to_string(code)), status::Meaning(code)) << code;
    for (int target : {0, 2}) {
        EXPECT_EQ(rows.at("3001"), status::Meaning(status::kTableOrGridNotOpened, target));
    }
    // The page is UTF-8 and this file's literals become GBK: the middle dot is spelt as bytes.
    ASSERT_EQ(rows.count("3001 + 10\xC2\xB7k + i"), 1u);
    const char* const levels[] = {"geology", "geophysics", "geochemistry", "remote-sensing"};
    for (int level = 0; level < 4; ++level) {
        for (int element = 0; element < 10; ++element) {
            const std::string meaning = status::Meaning(status::GridNotOpened(level, element), 1);
            const std::string named =
                std::string(levels[level]) + " element " + std::to_string(element + 1) + " ";
            EXPECT_NE(meaning.find(named), std::string::npos) << meaning;
        }
    }
}

TEST(StatusTables, FeatureRowsAreWhatTheHostPrints) {
    const auto rows = StatusRows("<!-- status:feature -->", "<!-- status:geo -->");
    const int fixed[] = {kFeatureOk,
                         kFeatureFileUnavailable,
                         kFeatureBadKeyword,
                         kFeatureParamsRefused,
                         kFeatureMalformedInput,
                         kFeatureReportUnwritten,
                         kFeatureNoWeights,
                         kFeatureNoMemory,
                         kFeatureUnitFileUnopened};
    ASSERT_EQ(rows.size(), std::size(fixed) + 1);
    for (int code : fixed) EXPECT_EQ(rows.at(std::to_string(code)), FeatureStatusText(code)) << code;
    for (int i = 0; i < kMaxFeatureVars; ++i)
        EXPECT_EQ(rows.at("3001 + i"), FeatureStatusText(kFeatureGridUnopened + i));
}

TEST(StatusTables, TheHostsExitStatusesHaveTheirRows) {
    const auto rows = StatusRows("<!-- status:host -->", "<!-- status:prep -->");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.count("0") + rows.count("1"), 2u);
    EXPECT_NE(rows.at(std::to_string(cli::kStoppedExitStatus)).find("stopped by Ctrl-C"), std::string::npos);
}

TEST(StatusTables, EvaluateRowsAreWhatTheHostPrints) {
    const auto rows = StatusRows("<!-- status:evaluate -->", "<!-- status:end -->");
    ASSERT_EQ(rows.size(), 4u);
    for (int code : {cli::kEvaluateOk, cli::kEvaluateInputUnread, cli::kEvaluateInputsUnfit,
                     cli::kEvaluateOutputUnwritten}) {
        EXPECT_EQ(rows.at(std::to_string(code)), cli::EvaluateStatusText(code)) << code;
    }
}

}  // namespace
}  // namespace quarnel::hardening
