#include <quarnel/hierarchy.h>

#include "jobs/hierarchy/anomaly_table.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/mine_decompos.h"
#include "jobs/hierarchy/table_cause.h"

namespace quarnel {

namespace {

void KeepTopRanks(const AnomalyRows& rows, DecomposRun& run) {
    run.ranking.clear();
    for (std::int32_t i = 0; i < rows.count && i < kRanksKept; ++i)
        run.ranking.push_back({rows.names[rows.index[i]], rows.scores[i], i + 1});
}

}  // namespace

int CMine_Decompos::RankAnomalies(const HierarchyParams& params, const TotalWeights& totalWeights,
                                  TextSink& report) {
    const char* tableName = AnomalyTableName(params);
    ScanStream table;
    if (tableName == nullptr || !table.Open(tableName)) {
        run_.cause = TableNotOpenedCause(tableName);
        return hierarchy_status::kTableOrGridNotOpened;
    }
    AnomalyRows rows;
    TableCause cause;
    if (const int status = ReadAnomalyTable(table, params, totalWeights, true, report, rows, cause);
        status != 0) {
        run_.cause = TableCauseText(tableName, cause);
        return status;
    }
    report.Put("异常评序结果\n\t       异常号      异常评序值  异常评序序号\n");
    const auto count = static_cast<std::size_t>(rows.count);
    hierarchy::RankScores({rows.scores.get(), count}, {rows.index.get(), count});
    for (std::int32_t i = 0; i < rows.count; ++i) {
        report.Print("%20s%15.2f%10ld\n", rows.names[rows.index[i]], rows.scores[i], i + 1);
    }
    report.Put("\n\n\n ");
    run_.rowsScored = rows.count;
    KeepTopRanks(rows, run_);
    return hierarchy_status::kSuccess;
}

}  // namespace quarnel
