#include "jobs/bp/bp_records.h"

namespace quarnel {

void AddNetwork(MemoryBudget& budget, int inputs, int hidden, int outputs) {
    budget.Add(hidden, sizeof(double)).Add(outputs, sizeof(double));
    budget.Add(inputs, hidden, sizeof(double)).Add(hidden, outputs, sizeof(double));
}

}  // namespace quarnel
