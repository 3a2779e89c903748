#pragma once
// The opening of the hierarchy report: title, target line, the main level with the importance
// of each present level, then each present level's elements with their importances.
#include "formats/grid/text_sink.h"
#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

void WriteReportOpening(const HierarchyParams& params, TextSink& report);

}  // namespace quarnel
