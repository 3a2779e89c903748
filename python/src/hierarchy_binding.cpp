// Hierarchy analysis for Python: the judgement matrices and total weights from importances, the
// prediction of a grid stack, the scores of table rows and their ranking, each a call of the
// hierarchy core on float32 arrays.
#include <cstdint>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/hierarchy.h"

namespace quarnel::python {
namespace {

using hierarchy::kLevelCount;
using hierarchy::kMaxOrder;

hierarchy::Importances ImportancesOf(const std::vector<bool>& present, const std::vector<float>& level,
                                     const std::vector<std::vector<float>>& elements) {
    if (present.size() != kLevelCount || level.size() != kLevelCount || elements.size() != kLevelCount)
        throw py::value_error("presence, level importances and element importances come one per level (4)");
    hierarchy::Importances importances;
    for (std::size_t k = 0; k < kLevelCount; ++k) {
        if (elements[k].size() > kMaxOrder)
            throw py::value_error("level " + std::to_string(k) + " has " +
                                  std::to_string(elements[k].size()) + " elements; at most 10");
        importances.present[k] = present[k];
        importances.level[k] = level[k];
        importances.elementCount[k] = static_cast<int>(elements[k].size());
        for (std::size_t i = 0; i < elements[k].size(); ++i) importances.element[k][i] = elements[k][i];
    }
    return importances;
}

py::dict MatrixOf(const hierarchy::MatrixResult& matrix) {
    const py::ssize_t order = matrix.order;
    Array<float> entries = NewArray<float>({order, order});
    Array<float> weights = NewArray<float>({order});
    for (int i = 0; i < matrix.order; ++i) {
        weights.mutable_data()[i] = matrix.weights[std::size_t(i)];
        for (int j = 0; j < matrix.order; ++j)
            entries.mutable_data()[i * matrix.order + j] = matrix.entries[std::size_t(i)][std::size_t(j)];
    }
    py::dict out;
    out["level"] = matrix.level;
    out["order"] = matrix.order;
    out["entries"] = entries;
    out["weights"] = weights;
    out["eigenvalue"] = matrix.lambdaMax;
    out["cr"] = matrix.consistencyRatio;
    out["combined_consistency"] = matrix.combinedConsistency;
    out["consistent"] = matrix.consistent;
    return out;
}

}  // namespace

py::dict HierarchyWeightsDict(const hierarchy::HierarchyWeights& weights,
                              const std::array<int, hierarchy::kLevelCount>& elementCount) {
    py::list matrices;
    for (const hierarchy::MatrixResult& matrix : weights.matrices) matrices.append(MatrixOf(matrix));
    py::list total;
    for (std::size_t k = 0; k < kLevelCount; ++k) {
        py::list row;
        for (std::size_t i = 0; i < std::size_t(elementCount[k]); ++i) row.append(weights.totalWeights[k][i]);
        total.append(row);
    }
    py::dict out;
    out["matrices"] = matrices;
    out["consistent"] = weights.consistent;
    out["combined_consistency"] = weights.combinedConsistency;
    out["total_weights"] = total;
    return out;
}

namespace {

py::dict Weights(const std::vector<bool>& present, const std::vector<float>& level,
                 const std::vector<std::vector<float>>& elements) {
    const hierarchy::Importances importances = ImportancesOf(present, level, elements);
    return HierarchyWeightsDict(hierarchy::ComputeHierarchyWeights(importances), importances.elementCount);
}

std::vector<float> WeightsFor(const Array<float>& weights, int count) {
    if (weights.ndim() != 1 || weights.size() != count)
        throw py::value_error("one weight per element is needed: " + std::to_string(count) + ", not " +
                              std::to_string(weights.size()));
    return {weights.data(), weights.data() + count};
}

Array<float> Predict(const Array<float>& stack, const Array<float>& weights, float blank) {
    const std::vector<int> shape = ShapeOf(stack, 3, "stack");
    const std::vector<float> w = WeightsFor(weights, shape[0]);
    const std::size_t count = std::size_t(shape[0]);
    const std::size_t cells = std::size_t(shape[1]) * std::size_t(shape[2]);
    Array<float> out = NewArray<float>({shape[1], shape[2]});
    float* result = out.mutable_data();
    const float* values = stack.data();
    py::gil_scoped_release release;
    std::vector<float> cell(count);
    for (std::size_t s = 0; s < cells; ++s) {
        for (std::size_t g = 0; g < count; ++g) cell[g] = values[g * cells + s];
        result[s] = hierarchy::PredictCell(cell, w, blank);
    }
    return out;
}

Array<float> ScoreRows(const Array<float>& table, const Array<float>& weights) {
    const std::vector<int> shape = ShapeOf(table, 2, "table");
    const std::vector<float> w = WeightsFor(weights, shape[1]);
    Array<float> out = NewArray<float>({shape[0]});
    const std::size_t columns = std::size_t(shape[1]);
    for (std::size_t r = 0; r < std::size_t(shape[0]); ++r)
        out.mutable_data()[r] = hierarchy::ScoreRow({table.data() + r * columns, columns}, w);
    return out;
}

py::tuple RankScores(const Array<float>& scores) {
    const std::vector<int> shape = ShapeOf(scores, 1, "scores");
    Array<float> ranked = NewArray<float>({shape[0]});
    Array<std::int32_t> order = NewArray<std::int32_t>({shape[0]});
    const std::size_t n = std::size_t(shape[0]);
    std::copy(scores.data(), scores.data() + n, ranked.mutable_data());
    {
        py::gil_scoped_release release;
        hierarchy::RankScores({ranked.mutable_data(), n}, {order.mutable_data(), n});
    }
    return py::make_tuple(ranked, order);
}

}  // namespace

void BindHierarchy(py::module_& m) {
    m.def("hierarchy_weights", &Weights, py::arg("present"), py::arg("level"), py::arg("elements"));
    m.def("hierarchy_predict", &Predict, py::arg("stack"), py::arg("weights"), py::arg("blank"));
    m.def("hierarchy_score_rows", &ScoreRows, py::arg("table"), py::arg("weights"));
    m.def("hierarchy_rank", &RankScores, py::arg("scores"));
}

}  // namespace quarnel::python
