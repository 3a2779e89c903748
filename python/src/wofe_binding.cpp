// Weights of evidence for Python: a layer's table and generalisation from its class counts, the
// posterior of each condition (one row of class indices per condition) and the independence
// tests, each a call of the core (include/quarnel/wofe.h). quarnel.wofe counts the classes.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/wofe.h"

namespace quarnel::python {
namespace {

py::object Optional(const std::optional<double>& value) {
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

wofe::Type TypeNamed(const std::string& word) {
    const auto type = wofe::TypeOf(word);
    if (!type) throw py::value_error("type " + word + ": one of categorical, ascending, descending");
    return *type;
}

wofe::Generalization RuleNamed(const std::string& word, double z) {
    const auto rule = wofe::RuleOf(word, z);
    if (!rule)
        throw py::value_error(
            "generalize " + word +
            ": one of max-contrast, max-significant-contrast, max-studentized, value:V, none");
    return *rule;
}

py::list Rows(const wofe::LayerWeights& layer) {
    py::list rows;
    for (const wofe::ClassRow& row : layer.rows) {
        const wofe::Weights& w = row.weights;
        py::dict r;
        r["class"] = row.value;
        r["cells"] = row.cells;
        r["area_units"] = row.area;
        r["deposits"] = row.deposits;
        r["w_plus"] = Optional(w.wPlus);
        r["s_w_plus"] = Optional(w.sWPlus);
        r["w_minus"] = Optional(w.wMinus);
        r["s_w_minus"] = Optional(w.sWMinus);
        r["contrast"] = Optional(w.contrast);
        r["s_contrast"] = Optional(w.sContrast);
        r["studentized_contrast"] = Optional(w.studentized);
        r["generalized_class"] =
            row.generalizedClass ? py::object(py::int_(*row.generalizedClass)) : py::none();
        r["weight"] = Optional(row.weight);
        r["weight_std"] = Optional(row.weightStd);
        r["note"] = w.note.empty() ? py::object(py::none()) : py::object(py::str(w.note));
        rows.append(r);
    }
    return rows;
}

wofe::LayerWeights Weigh(const std::string& name, const std::string& type, const Array<std::int64_t>& values,
                         const Array<std::int64_t>& cells, const Array<std::int64_t>& deposits,
                         const std::vector<std::int64_t>& missing, double unitsPerCell,
                         const std::string& rule, double z) {
    if (values.size() != cells.size() || values.size() != deposits.size())
        throw py::value_error("one cell count and one deposit count per class value are needed");
    std::vector<wofe::ClassCount> counts;
    for (py::ssize_t i = 0; i < values.size(); ++i) {
        const std::int64_t v = values.data()[i];
        const bool unknown = std::find(missing.begin(), missing.end(), v) != missing.end();
        counts.push_back({v, cells.data()[i], deposits.data()[i], unknown});
    }
    try {
        return wofe::WeighLayer(name, TypeNamed(type), counts, unitsPerCell, RuleNamed(rule, z));
    } catch (const wofe::WofeError& error) {
        throw py::value_error(error.what());
    }
}

wofe::Model ModelOf(const std::vector<wofe::LayerWeights>& layers, double studyArea, std::int64_t deposits) {
    for (const wofe::LayerWeights& layer : layers)
        if (!layer.ok) throw py::value_error(layer.name + ": not generalised: " + layer.reason);
    try {
        return wofe::ModelOf(studyArea, deposits, layers);
    } catch (const wofe::WofeError& error) {
        throw py::value_error(error.what());
    }
}

// The class indices of rows x layers, checked against each layer's classes.
std::vector<int> Indices(const wofe::Model& model, const Array<std::int32_t>& conditions, py::ssize_t& rows) {
    if (conditions.ndim() != 2 || std::size_t(conditions.shape(1)) != model.layers.size())
        throw py::value_error("one class index per layer and condition is needed");
    rows = conditions.shape(0);
    std::vector<int> indices(conditions.data(), conditions.data() + conditions.size());
    for (py::ssize_t i = 0; i < conditions.size(); ++i) {
        const std::size_t k = std::size_t(i % conditions.shape(1));
        if (indices[std::size_t(i)] < -1 || indices[std::size_t(i)] >= int(model.layers[k].classes.size()))
            throw py::value_error("a class index beyond its layer's classes");
    }
    return indices;
}

py::tuple Posterior(const std::vector<wofe::LayerWeights>& layers, double studyArea, std::int64_t deposits,
                    const Array<std::int32_t>& conditions) {
    const wofe::Model model = ModelOf(layers, studyArea, deposits);
    py::ssize_t rows = 0;
    const std::vector<int> indices = Indices(model, conditions, rows);
    Array<double> p = NewArray<double>({rows});
    Array<double> s = NewArray<double>({rows});
    const std::size_t k = layers.size();
    for (py::ssize_t r = 0; r < rows; ++r) {
        const wofe::CellPosterior found =
            wofe::Posterior(model, std::span<const int>(indices.data() + std::size_t(r) * k, k));
        p.mutable_data()[r] = found.probability;
        s.mutable_data()[r] = found.std;
    }
    return py::make_tuple(p, s, model.priorProbability, model.priorLogit);
}

py::dict Independence(std::int64_t deposits, const Array<double>& areas, const Array<double>& p,
                      const Array<double>& s) {
    if (areas.size() != p.size() || areas.size() != s.size())
        throw py::value_error("one area, probability and deviation per condition are needed");
    std::vector<wofe::Condition> conditions;
    for (py::ssize_t i = 0; i < areas.size(); ++i)
        conditions.push_back({areas.data()[i], p.data()[i], s.data()[i]});
    const wofe::Independence t = wofe::TestIndependence(deposits, conditions);
    py::dict out;
    out["expected"] = t.expected;
    out["observed"] = t.observed;
    out["ratio"] = t.ratio;
    out["std"] = t.std;
    out["z"] = t.z;
    out["p"] = t.p;
    out["rejected_95"] = t.rejected95;
    out["rejected_99"] = t.rejected99;
    return out;
}

py::list Pairwise(const std::vector<wofe::LayerWeights>& layers, double studyArea, std::int64_t deposits,
                  const Array<std::int32_t>& classes) {
    const wofe::Model model = ModelOf(layers, studyArea, deposits);
    py::ssize_t rows = 0;
    const std::vector<int> indices = Indices(model, classes, rows);
    std::vector<std::vector<int>> each;
    for (py::ssize_t r = 0; r < rows; ++r)
        each.emplace_back(indices.begin() + r * py::ssize_t(layers.size()),
                          indices.begin() + (r + 1) * py::ssize_t(layers.size()));
    py::list out;
    for (const wofe::PairTest& test : wofe::PairwiseChiSquares(model, each)) {
        py::dict d;
        d["a"] = layers[test.a].name;
        d["b"] = layers[test.b].name;
        d["chi_square"] = Optional(test.chiSquare);
        d["p"] = Optional(test.p);
        out.append(d);
    }
    return out;
}

Array<std::int32_t> GeneralIndices(const wofe::LayerWeights& layer, const Array<std::int64_t>& values) {
    Array<std::int32_t> out = NewArray<std::int32_t>({values.size()});
    for (py::ssize_t i = 0; i < values.size(); ++i)
        out.mutable_data()[i] = layer.GeneralIndex(values.data()[i]);
    return out;
}

}  // namespace

void BindWofe(py::module_& m) {
    py::class_<wofe::LayerWeights>(m, "WofeLayer")
        .def_property_readonly("name", [](const wofe::LayerWeights& l) { return l.name; })
        .def_property_readonly("type", [](const wofe::LayerWeights& l) { return wofe::TypeName(l.type); })
        .def_property_readonly("known_area_units", [](const wofe::LayerWeights& l) { return l.knownArea; })
        .def_property_readonly("known_deposits", [](const wofe::LayerWeights& l) { return l.knownDeposits; })
        .def_property_readonly("classes", &Rows)
        .def_property_readonly("generalization",
                               [](const wofe::LayerWeights& l) {
                                   py::dict g;
                                   g["method"] = l.method;
                                   g["row"] = l.row ? py::object(py::int_(*l.row)) : py::none();
                                   g["ok"] = l.ok;
                                   g["reason"] =
                                       l.reason.empty() ? py::object(py::none()) : py::str(l.reason);
                                   return g;
                               })
        .def_property_readonly("general_class_count",
                               [](const wofe::LayerWeights& l) { return l.classes.size(); })
        .def("general_indices", &GeneralIndices, py::arg("values"));
    m.def("wofe_weigh_layer", &Weigh, py::arg("name"), py::arg("type"), py::arg("values"), py::arg("cells"),
          py::arg("deposits"), py::arg("missing"), py::arg("units_per_cell"), py::arg("rule"), py::arg("z"));
    m.def("wofe_posterior", &Posterior, py::arg("layers"), py::arg("study_area"), py::arg("deposits"),
          py::arg("conditions"));
    m.def("wofe_independence", &Independence, py::arg("deposits"), py::arg("areas"), py::arg("p"),
          py::arg("std"));
    m.def("wofe_pairwise", &Pairwise, py::arg("layers"), py::arg("study_area"), py::arg("deposits"),
          py::arg("classes"));
}

}  // namespace quarnel::python
