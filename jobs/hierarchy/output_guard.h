#pragma once
// Creating the report or the result truncates a file; the job must never do that to one of its
// own inputs (the parameter file, an element grid of target 1, the table of targets 0 and 2),
// and its two outputs must be two files.
#include <string>

#include "jobs/hierarchy/hierarchy_params.h"

namespace quarnel {

// 0, or 3903 when the report or the result file of targets 1 and 2 is an input of the job or
// both outputs are one file; then cause (when given) says which file is which.
int GuardInputs(const char* parameterFile, const HierarchyParams& params, std::string* cause = nullptr);

}  // namespace quarnel
