#include "jobs/hierarchy/anomaly_table.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/hierarchy/mine_decompos.h"
#include "jobs/hierarchy/table_cause.h"

namespace quarnel {

// The forecast is put in place only when the whole table was read: a refused table leaves the
// earlier forecast file as it was.
int CMine_Decompos::PredictIrregularGrid(const HierarchyParams& params, const TotalWeights& totalWeights,
                                         TextSink& report) {
    using namespace hierarchy_status;
    const char* tableName = AnomalyTableName(params);
    ScanStream table;
    if (tableName == nullptr || !table.Open(tableName)) {
        run_.cause = TableNotOpenedCause(tableName);
        return kTableOrGridNotOpened;
    }
    TextSink forecast;
    if (!forecast.Open(params.outputFile, kTextFileLineEnds)) {
        run_.cause = std::string(params.outputFile) + ": the forecast file cannot be created";
        return kTableOrGridNotOpened;
    }
    AnomalyRows rows;
    TableCause cause;
    if (const int status = ReadAnomalyTable(table, params, totalWeights, false, report, rows, cause);
        status != kSuccess) {
        run_.cause = TableCauseText(tableName, cause);
        return status;
    }
    forecast.Print("非规则网找矿远景预测\n   %ld\n", rows.count);
    forecast.Put("\t\t非规则网号       预测值\n");
    for (std::int32_t r = 0; r < rows.count; ++r)
        forecast.Print("%25s%14.2f\n", rows.names[r], rows.scores[r]);
    report.Put("\n\n\n ");
    run_.rowsScored = rows.count;
    if (!forecast.Close()) {
        run_.cause = std::string(params.outputFile) + ": could not be written completely";
        return kWriteFailed;
    }
    return kSuccess;
}

}  // namespace quarnel
