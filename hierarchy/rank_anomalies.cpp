#include <utility>

#include "hierarchy/anomaly_table.h"
#include "hierarchy/hierarchy_status.h"
#include "hierarchy/mine_decompos.h"

namespace quarnel {

namespace {

// Selection sort, descending: a later row takes over only with a strictly greater score, and
// the maximum is exchanged into place, which fixes the order of equal scores.
void SortByScore(AnomalyRows& rows) {
    for (std::int32_t r = 0; r < rows.count; ++r) rows.index[r] = r;
    for (std::int32_t i = 0; i + 1 < rows.count; ++i) {
        std::int32_t best = i;
        for (std::int32_t j = i + 1; j < rows.count; ++j) {
            if (rows.scores[j] > rows.scores[best]) best = j;
        }
        std::swap(rows.scores[i], rows.scores[best]);
        std::swap(rows.index[i], rows.index[best]);
    }
}

}  // namespace

int CMine_Decompos::RankAnomalies(const HierarchyParams& params, const TotalWeights& totalWeights,
                                  TextSink& report) {
    const char* tableName = AnomalyTableName(params);
    ScanStream table;
    if (tableName == nullptr || !table.Open(tableName)) return hierarchy_status::kTableOrGridNotOpened;
    AnomalyRows rows;
    if (const int status = ReadAnomalyTable(table, params, totalWeights, true, report, rows); status != 0) {
        return status;
    }
    report.Put("异常评序结果\n\t       异常号      异常评序值  异常评序序号\n");
    SortByScore(rows);
    for (std::int32_t i = 0; i < rows.count; ++i) {
        report.Print("%20s%15.2f%10ld\n", rows.names[rows.index[i]], rows.scores[i], i + 1);
    }
    report.Put("\n\n\n ");
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
