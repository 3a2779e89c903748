#pragma once
// The parts of the quarnel._core module, one per method family, each adding its functions.
#include <pybind11/pybind11.h>

#include <array>

#include "quarnel/bp.h"
#include "quarnel/hierarchy.h"

namespace quarnel::python {

void BindPrep(pybind11::module_& m);
void BindBP(pybind11::module_& m);
void BindHierarchy(pybind11::module_& m);
void BindFeature(pybind11::module_& m);
void BindJobs(pybind11::module_& m);
void BindEvaluate(pybind11::module_& m);
void BindWofe(pybind11::module_& m);
void BindFuzzy(pybind11::module_& m);
void BindLogistic(pybind11::module_& m);
// Only on Linux, where XGBoost is (core/trees).
void BindTrees(pybind11::module_& m);
// Only where the workflow library is built (QUARNEL_CLI).
void BindWorkflow(pybind11::module_& m);
void BindMaps(pybind11::module_& m);

// A training's summary and network as quarnel.train's result takes them (samples trained on).
pybind11::dict TrainingDict(BPTraining&& training, int samples);

// The matrices, consistency and total weights of a hierarchy analysis (total weights for the
// first elementCount[k] elements of each level), as hierarchy_weights gives them.
pybind11::dict HierarchyWeightsDict(const hierarchy::HierarchyWeights& weights,
                                    const std::array<int, hierarchy::kLevelCount>& elementCount);

}  // namespace quarnel::python
