// BP samples and training through the GDAL door for Python, as a workflow's [bp] step draws and
// trains them: the samples of deposit points on evidence rasters (geo::MakeBpSamples), and the
// network trained on samples with the door's own initial weights, shuffle and balance
// (geo::TrainBpOnSamples). The door's refusals become ValueError naming the cause.
#include <optional>
#include <string>
#include <vector>

#include "arrays.h"
#include "bindings.h"
#include "geo/bp.h"
#include "geo/point_files.h"
#include "progress.h"

namespace quarnel::python {
namespace {

std::vector<geo::Point> PointsOf(const Array<double>& xy) {
    if (xy.ndim() != 2 || xy.shape(1) != 2) throw py::value_error("deposits must be points x 2 (x, y)");
    std::vector<geo::Point> points(std::size_t(xy.shape(0)));
    for (std::size_t i = 0; i < points.size(); ++i) {
        points[i].x = xy.data()[2 * i];
        points[i].y = xy.data()[2 * i + 1];
        points[i].name = std::to_string(i + 1);
    }
    return points;
}

py::dict Samples(const std::vector<std::string>& evidence, const Array<double>& deposits,
                 std::optional<int> background, std::uint64_t seed, double minDistance, bool rescaled) {
    const std::vector<geo::Point> points = PointsOf(deposits);
    geo::SampleOptions options;
    options.background = background.value_or(-1);
    options.seed = seed;
    options.minDistance = minDistance;
    options.rescaled = rescaled;
    geo::BpSamples samples;
    try {
        py::gil_scoped_release release;
        samples = geo::MakeBpSamples(evidence, points, options, "the deposits", "the background");
    } catch (const geo::GeoError& error) {
        throw py::value_error(error.what());
    }
    const BPSampleSet& set = samples.set;
    Array<double> inputs = NewArray<double>({set.sampleCount, set.inputCount});
    std::copy(set.inputs.begin(), set.inputs.end(), inputs.mutable_data());
    Array<int> targets = NewArray<int>({set.sampleCount});
    std::copy(set.targets.begin(), set.targets.end(), targets.mutable_data());
    py::dict result;
    result["inputs"] = inputs;
    result["targets"] = targets;
    result["deposit_points"] = samples.count.deposits.read;
    result["outside"] = samples.count.deposits.outside;
    result["on_no_data"] = samples.count.deposits.onNoData;
    result["deposit_cells"] = samples.count.deposits.cells;
    result["background"] = samples.count.background;
    return result;
}

py::dict TrainSampled(const Array<double>& inputs, const Array<int>& targets, int hidden, int maxIterations,
                      double errorLimit, std::uint64_t seed, bool shuffle, bool balance,
                      py::object callback) {
    const std::vector<int> shape = ShapeOf(inputs, 2, "samples");
    if (targets.ndim() != 1 || targets.shape(0) != shape[0])
        throw py::value_error("one target (0 or 1) per sample is needed");
    BPSampleSet samples;
    samples.Allocate(shape[0], shape[1], 1);
    std::copy(inputs.data(), inputs.data() + inputs.size(), samples.inputs.begin());
    std::copy(targets.data(), targets.data() + targets.size(), samples.targets.begin());
    const geo::BpTrainOptions options{hidden, maxIterations, errorLimit, seed, shuffle, balance};
    PythonProgress progress(std::move(callback));
    BPTraining training;
    bool stopped = false;
    {
        py::gil_scoped_release release;
        try {
            training = geo::TrainBpOnSamples(samples, options, progress.Get());
        } catch (const Stopped&) {
            stopped = true;
        }
    }
    if (stopped) progress.Raise();
    return TrainingDict(std::move(training), shape[0]);
}

}  // namespace

void BindMaps(py::module_& m) {
    m.def("bp_samples", &Samples, py::arg("evidence"), py::arg("deposits"), py::arg("background"),
          py::arg("seed"), py::arg("min_distance"), py::arg("rescaled"));
    m.def("train_sampled", &TrainSampled, py::arg("samples"), py::arg("targets"), py::arg("hidden"),
          py::arg("max_iterations"), py::arg("error_limit"), py::arg("seed"), py::arg("shuffle"),
          py::arg("balance"), py::arg("progress"));
}

}  // namespace quarnel::python
