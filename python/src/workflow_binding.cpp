// The workflow library for Python: a workflow file run as `quarnel run` runs it, its summary as
// JSON text, and every method's parameter declarations, for the keyword checks and the help.
#include <pybind11/stl.h>

#include "bindings.h"
#include "progress.h"
#include "quarnel/parameters.h"
#include "workflow/runner.h"

namespace py = pybind11;

namespace quarnel::python {

namespace {

const char* KindName(params::Kind kind) {
    switch (kind) {
        case params::Kind::integer:
            return "integer";
        case params::Kind::number:
            return "number";
        case params::Kind::flag:
            return "flag";
        case params::Kind::choice:
            return "choice";
        case params::Kind::text:
            return "text";
        case params::Kind::path:
            return "path";
        case params::Kind::names:
            return "names";
        case params::Kind::tables:
            return "tables";
    }
    return "";
}

py::list Declarations() {
    py::list list;
    for (const params::Method& method : params::Methods())
        for (const params::Parameter* p : method.parameters) {
            py::dict entry;
            entry["method"] = std::string(method.name);
            entry["name"] = std::string(p->name);
            entry["kind"] = KindName(p->kind);
            entry["unit"] = std::string(p->unit);
            entry["low"] = p->low;
            entry["high"] = p->high;
            entry["value"] = p->value;
            entry["default"] = params::DefaultText(*p);
            entry["accepted"] = params::RangeText(*p);
            entry["required"] = p->Required();
            entry["fixed_default"] = p->fallback.empty();
            entry["help"] = std::string(p->help);
            py::list choices;
            for (const std::string_view choice : p->choices) choices.append(std::string(choice));
            entry["choices"] = choices;
            list.append(entry);
        }
    return list;
}

}  // namespace

void BindWorkflow(py::module_& m) {
    py::register_exception<workflow::WorkflowError>(m, "WorkflowError", PyExc_ValueError);
    m.def("parameters", &Declarations,
          "Every method's parameter declarations, as the workflow file takes them.");
    m.def(
        "check_parameter",
        [](const std::string& method, const std::string& name, double value) {
            const params::Method* found = params::FindMethod(method);
            const params::Parameter* parameter = found ? params::FindParameter(*found, name) : nullptr;
            if (parameter == nullptr)
                return std::string("not a parameter of ") + (method.empty() ? "the workflow" : method);
            return params::CheckNumber(*parameter, value);
        },
        py::arg("method"), py::arg("name"), py::arg("value"),
        "Why a number is refused for a parameter, or an empty string.");
    m.def(
        "run_workflow",
        [](const std::string& file, const std::string& output, py::object progress) {
            PythonProgress stop(std::move(progress));
            workflow::RunResult result;
            {
                py::gil_scoped_release release;
                result = workflow::RunWorkflow(file, {output, stop.Get()});
            }
            if (result.stopped) stop.Raise();
            return result.summary.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        },
        py::arg("file"), py::arg("output"), py::arg("progress") = py::none(),
        "Run a workflow file; its summary as JSON text. Ctrl-C or a progress returning False stops it.");
}

}  // namespace quarnel::python
