#pragma once
// The parts of the quarnel._core module, one per method family, each adding its functions.
#include <pybind11/pybind11.h>

namespace quarnel::python {

void BindPrep(pybind11::module_& m);
void BindBP(pybind11::module_& m);
void BindHierarchy(pybind11::module_& m);
void BindFeature(pybind11::module_& m);
void BindJobs(pybind11::module_& m);

}  // namespace quarnel::python
