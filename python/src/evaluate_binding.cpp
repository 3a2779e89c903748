// Validation of a prospectivity map for Python: the cells that take part, the ROC curve with its
// AUC and interval, the success-rate, precision-recall and prediction-area curves, log loss and
// Brier score, and the class table, each a call of the evaluation
// core on the map's values and the deposits' cells.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "quarnel/evaluate.h"

namespace quarnel::python {
namespace {

Array<double> Points(const std::vector<evaluate::CurvePoint>& points) {
    Array<double> out = NewArray<double>({py::ssize_t(points.size()), 2});
    double* xy = out.mutable_data();
    for (std::size_t i = 0; i < points.size(); ++i) {
        xy[2 * i] = points[i].x;
        xy[2 * i + 1] = points[i].y;
    }
    return out;
}

py::object Optional(const std::optional<double>& value) {
    return value ? py::object(py::float_(*value)) : py::object(py::none());
}

py::dict RocDict(const evaluate::RocResult& roc) {
    py::dict out;
    out["formed"] = roc.formed;
    out["deposit_cells"] = roc.depositCells;
    out["other_cells"] = roc.otherCells;
    out["points"] = Points(roc.points);
    out["auc"] = roc.auc;
    out["standard_error"] = Optional(roc.standardError);
    out["auc_low"] = Optional(roc.aucLow);
    out["auc_high"] = Optional(roc.aucHigh);
    return out;
}

py::dict SuccessRateDict(const evaluate::SuccessRateResult& rate) {
    py::dict out;
    out["formed"] = rate.formed;
    out["cells"] = rate.cells;
    out["deposits"] = rate.deposits;
    out["points"] = Points(rate.points);
    out["area"] = rate.area;
    out["area_for_50"] = rate.areaFor50;
    out["area_for_75"] = rate.areaFor75;
    out["area_for_90"] = rate.areaFor90;
    return out;
}

// Rows of three columns, one a point.
template <typename Point, typename Columns>
Array<double> Table(const std::vector<Point>& points, Columns columns) {
    Array<double> out = NewArray<double>({py::ssize_t(points.size()), 3});
    double* row = out.mutable_data();
    for (const Point& point : points) {
        const auto [a, b, c] = columns(point);
        *row++ = a;
        *row++ = b;
        *row++ = c;
    }
    return out;
}

py::dict PrecisionRecallDict(const evaluate::PrecisionRecallResult& pr) {
    py::dict out;
    out["formed"] = pr.formed;
    out["deposit_cells"] = pr.depositCells;
    out["points"] = Table(pr.points, [](const evaluate::PrecisionRecallPoint& p) {
        return std::array{p.threshold, p.recall, p.precision};
    });
    out["average_precision"] = Optional(pr.averagePrecision);
    return out;
}

py::dict PredictionAreaDict(const evaluate::PredictionAreaResult& pa) {
    py::dict out;
    out["formed"] = pa.formed;
    out["points"] = Table(pa.points, [](const evaluate::PredictionAreaPoint& p) {
        return std::array{p.threshold, p.predictionRate, p.areaShare};
    });
    out["crossing"] = pa.formed ? py::object(py::make_tuple(pa.crossing.threshold, pa.crossing.predictionRate,
                                                            pa.crossing.areaShare))
                                : py::object(py::none());
    return out;
}

py::dict ProbabilityDict(const evaluate::ProbabilityScores& scores) {
    py::dict out;
    out["log_loss"] = Optional(scores.logLoss);
    out["brier"] = Optional(scores.brier);
    out["note"] = scores.note.empty() ? py::object(py::none()) : py::object(py::str(scores.note));
    return out;
}

// The valid cells of a map (values neither nodata nor NaN, mask non-zero where given) with the
// deposits on each, and how many deposits fell on no valid cell.
py::tuple Sample(const Array<double>& values, std::optional<double> noData,
                 std::optional<Array<std::uint8_t>> mask, const Array<std::int64_t>& depositCells) {
    const std::size_t cells = std::size_t(values.size());
    if (mask && std::size_t(mask->size()) != cells)
        throw py::value_error("the mask must have one value per cell");
    evaluate::CellSample sample;
    {
        py::gil_scoped_release release;
        sample = evaluate::SampleCells(
            {values.data(), cells}, noData,
            mask ? std::span<const std::uint8_t>(mask->data(), cells) : std::span<const std::uint8_t>(),
            {depositCells.data(), std::size_t(depositCells.size())});
    }
    Array<double> scores = NewArray<double>({py::ssize_t(sample.scores.size())});
    Array<std::int32_t> deposits = NewArray<std::int32_t>({py::ssize_t(sample.deposits.size())});
    std::copy(sample.scores.begin(), sample.scores.end(), scores.mutable_data());
    std::copy(sample.deposits.begin(), sample.deposits.end(), deposits.mutable_data());
    return py::make_tuple(scores, deposits, sample.depositsOnInvalid);
}

py::dict Evaluate(const Array<double>& scores, const Array<std::int32_t>& deposits) {
    if (scores.size() != deposits.size()) throw py::value_error("one deposit count per score is needed");
    evaluate::Evaluation result;
    {
        py::gil_scoped_release release;
        result = evaluate::Evaluate({scores.data(), std::size_t(scores.size())},
                                    {deposits.data(), std::size_t(deposits.size())});
    }
    py::dict out;
    out["roc"] = RocDict(result.roc);
    out["success_rate"] = SuccessRateDict(result.successRate);
    out["precision_recall"] = PrecisionRecallDict(result.precisionRecall);
    out["prediction_area"] = PredictionAreaDict(result.predictionArea);
    out["probability"] = ProbabilityDict(result.probability);
    return out;
}

py::list Classes(const Array<double>& classes, const Array<std::int32_t>& deposits) {
    if (classes.size() != deposits.size())
        throw py::value_error("one deposit count per class value is needed");
    py::list rows;
    for (const evaluate::ClassRow& row : evaluate::ClassTable(
             {classes.data(), std::size_t(classes.size())}, {deposits.data(), std::size_t(deposits.size())}))
        rows.append(py::make_tuple(row.value, row.cells, row.areaShare, row.deposits, row.density));
    return rows;
}

}  // namespace

void BindEvaluate(py::module_& m) {
    m.def("evaluate_sample", &Sample, py::arg("values"), py::arg("nodata"), py::arg("mask"),
          py::arg("deposit_cells"));
    m.def("evaluate", &Evaluate, py::arg("scores"), py::arg("deposits"));
    m.def("evaluate_class_table", &Classes, py::arg("classes"), py::arg("deposits"));
}

}  // namespace quarnel::python
