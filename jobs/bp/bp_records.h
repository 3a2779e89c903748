#pragma once
// The BP records (quarnel/bp.h) as the jobs size them: the bytes of a network, added to a job's
// memory budget before anything is allocated.
#include "formats/grid/memory_budget.h"
#include "quarnel/bp.h"

namespace quarnel {

void AddNetwork(MemoryBudget& budget, int inputs, int hidden, int outputs);

}  // namespace quarnel
