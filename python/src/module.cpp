// quarnel._core: the analysis core and the design's jobs for Python. The quarnel package wraps
// these functions with no-data handling, xarray and dask; they take and give plain arrays.
#include "bindings.h"

PYBIND11_MODULE(_core, m) {
    m.doc() = "Quarnel's analysis core and jobs (used through the quarnel package)";
    quarnel::python::BindPrep(m);
    quarnel::python::BindBP(m);
    quarnel::python::BindHierarchy(m);
    quarnel::python::BindFeature(m);
    quarnel::python::BindJobs(m);
    quarnel::python::BindEvaluate(m);
    quarnel::python::BindWofe(m);
    quarnel::python::BindFuzzy(m);
    quarnel::python::BindLogistic(m);
    quarnel::python::BindTrees(m);
#ifdef QUARNEL_PYTHON_WORKFLOW
    quarnel::python::BindWorkflow(m);
    quarnel::python::BindMaps(m);
#endif
}
