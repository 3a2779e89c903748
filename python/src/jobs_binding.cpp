// The design's eight jobs on files, for Python: each runs the job function behind its export
// and gives back a dict: the status the export returns, its meaning from the job's status
// table, the cause of a failure where it is known, and the job's results. Texts that come from
// the job's files (names, causes quoting them) stay bytes; the Python layer decodes them as GBK.
#include <array>
#include <optional>
#include <string>

#include "arrays.h"
#include "bindings.h"
#include "jobs/bp/bp_class_job.h"
#include "jobs/bp/bp_status.h"
#include "jobs/bp/bp_train_job.h"
#include "jobs/feature/feature_job.h"
#include "jobs/feature/feature_status.h"
#include "jobs/hierarchy/decompos_run.h"
#include "jobs/hierarchy/hierarchy_status.h"
#include "jobs/prep/normalize_hxf.h"
#include "jobs/prep/prep_jobs.h"
#include "jobs/prep/status_text.h"
#include "progress.h"

namespace quarnel::python {
namespace {

py::dict Outcome(int status, const std::string& meaning, const std::string& cause) {
    py::dict out;
    out["status"] = status;
    out["meaning"] = py::bytes(meaning);
    out["cause"] = py::bytes(cause);
    out["results"] = py::dict();
    return out;
}

py::dict Normalize(const std::string& input, const std::string& output, int kind) {
    if (kind == 2) {
        prep::HxfDumpResult dump;
        {
            py::gil_scoped_release release;
            dump = prep::DumpHxf(input.c_str(), output.c_str());
        }
        const bool written = dump.outcome == prep::HxfDumpOutcome::written;
        py::dict out = Outcome(0, prep::NormalizeHxfStatusText(0),
                               written ? "" : prep::HxfDumpOutcomeText(dump.outcome));
        out["written"] = written;
        out["results"]["grids"] = dump.grids;
        out["results"]["rows"] = dump.rows;
        out["results"]["cols"] = dump.cols;
        return out;
    }
    if (kind != 0 && kind != 1) {
        py::dict out = Outcome(-1, prep::Normalize2StatusText(-1), "");
        out["written"] = false;
        return out;
    }
    prep::NormalizeReport report;
    {
        py::gil_scoped_release release;
        report = prep::RunNormalize(input.c_str(), output.c_str());
    }
    py::dict out = Outcome(report.status, prep::Normalize2StatusText(report.status), report.cause);
    out["written"] = report.status == 1;
    py::dict results = out["results"];
    if (report.range.low <= report.range.high)
        results["range"] = py::make_tuple(report.range.low, report.range.high);
    else
        results["range"] = py::none();
    results["rows"] = report.rows;
    results["cols"] = report.cols;
    results["blanks"] = report.blanks;
    return out;
}

py::dict WindowStats(const std::string& input, const std::string& mean, const std::string& deviation, int w) {
    prep::WindowStatsReport report;
    {
        py::gil_scoped_release release;
        report = prep::RunCalAvgVar(input.c_str(), mean.c_str(), deviation.c_str(), w);
    }
    py::dict out = Outcome(report.status, prep::CalAvgVarStatusText(report.status), report.cause);
    out["written"] = report.status == 1;
    out["results"]["window"] = report.window;
    out["results"]["rows"] = report.rows;
    out["results"]["cols"] = report.cols;
    return out;
}

py::dict BPTrain(const std::string& samples, const std::string& network, const std::string& result,
                 int sampleCount, int inputs, int hidden, int outputs, int maxIterations, double errorLimit,
                 std::optional<unsigned> seed, py::object callback) {
    const BPTrainRequest request{samples.c_str(), network.c_str(), result.c_str(), sampleCount, inputs,
                                 hidden,          outputs,         maxIterations,  errorLimit,  seed};
    BPTrainReport report;
    PythonProgress progress(std::move(callback));
    {
        py::gil_scoped_release release;
        report = RunBPTrain(request, progress.Get());
    }
    if (report.stopped) progress.Raise();
    py::dict out = Outcome(report.status, BPTrainStatusText(report.status), report.cause);
    out["written"] = report.status == kBPTrainDone;
    py::dict results = out["results"];
    results["epochs"] = report.summary.epochs;
    results["converged"] = report.summary.converged;
    results["final_error"] = report.summary.finalError;
    results["samples_matched"] = report.summary.samplesMatched;
    results["training_accuracy"] = report.summary.trainingAccuracy;
    return out;
}

py::dict BPClass(const std::string& network, const std::string& output, const std::string& inputs,
                 const std::string& kinds) {
    BPClassReport report;
    {
        py::gil_scoped_release release;
        report = RunBPClass({network.c_str(), output.c_str(), inputs.c_str(), kinds.c_str()});
    }
    py::dict out = Outcome(report.status, BPClassStatusText(report.status), report.cause);
    out["written"] = report.status == kBPClassDone;
    py::dict results = out["results"];
    results["cells"] = report.cells;
    results["rows"] = report.rows;
    results["cols"] = report.cols;
    py::dict counts;
    for (const auto& [value, count] : report.classCounts) counts[py::int_(value)] = count;
    results["class_counts"] = counts;
    return out;
}

py::dict Hierarchy(const std::string& parameterFile) {
    DecomposRun run;
    {
        py::gil_scoped_release release;
        run = RunDecompos(parameterFile.c_str());
    }
    const std::string meaning = run.paramsRead ? hierarchy_status::Meaning(run.status, run.params.target)
                                               : hierarchy_status::Meaning(run.status);
    py::dict out = Outcome(run.status, meaning, run.cause);
    out["written"] = run.status == hierarchy_status::kSuccess;
    py::dict results = out["results"];
    if (run.paramsRead) results["target"] = run.params.target;
    if (run.paramsRead && run.weightsComputed) {
        std::array<int, kLevelCount> counts{};
        for (int k = 0; k < kLevelCount; ++k) counts[std::size_t(k)] = run.params.ElementsInUse(k);
        results["weights"] = HierarchyWeightsDict(run.weights, counts);
    }
    results["rows_scored"] = run.rowsScored;
    py::list ranking;
    for (const RankedRow& row : run.ranking)
        ranking.append(py::make_tuple(row.rank, py::bytes(row.name), row.score));
    results["ranking"] = ranking;
    results["grid"] = py::make_tuple(run.gridRows, run.gridCols);
    return out;
}

py::dict Feature(const std::string& parameterFile) {
    FeatureOutcome outcome;
    {
        py::gil_scoped_release release;
        outcome = RunFeatureJob(parameterFile.c_str());
    }
    py::dict out = Outcome(outcome.status, FeatureStatusText(outcome.status), outcome.cause);
    out["written"] = outcome.status == kFeatureOk;
    const feature::AnalysisResults& r = outcome.results;
    py::dict results = out["results"];
    results["method"] = r.method;
    results["variables"] = r.variables;
    const std::size_t n = std::size_t(r.variables);
    if (r.productMatrix.size() == n * n) {
        Array<float> p = NewArray<float>({r.variables, r.variables});
        std::copy(r.productMatrix.begin(), r.productMatrix.end(), p.mutable_data());
        results["product_matrix"] = p;
    }
    results["weights"] = r.weights;
    results["lengths"] = r.lengths;
    results["component"] = r.component;
    results["sweeps"] = r.sweeps;
    py::dict scores;
    scores["cells"] = r.scores.scored;
    scores["blank"] = r.scores.blank;
    scores["min"] = r.scores.min;
    scores["max"] = r.scores.max;
    scores["mean"] = r.scores.Mean();
    results["scores"] = scores;
    py::list units;
    for (const feature::UnitJudgement& u : r.units)
        units.append(py::make_tuple(u.row, u.col, u.size, u.score));
    results["units"] = units;
    return out;
}

}  // namespace

void BindJobs(py::module_& m) {
    m.def("job_normalize", &Normalize, py::arg("input"), py::arg("output"), py::arg("kind"));
    m.def("job_window_stats", &WindowStats, py::arg("input"), py::arg("mean"), py::arg("deviation"),
          py::arg("w"));
    m.def("job_bp_train", &BPTrain, py::arg("samples"), py::arg("network"), py::arg("result"),
          py::arg("sample_count"), py::arg("inputs"), py::arg("hidden"), py::arg("outputs"),
          py::arg("max_iterations"), py::arg("error_limit"), py::arg("seed"), py::arg("progress"));
    m.def("job_bp_class", &BPClass, py::arg("network"), py::arg("output"), py::arg("inputs"),
          py::arg("kinds"));
    m.def("job_hierarchy", &Hierarchy, py::arg("parameter_file"));
    m.def("job_feature", &Feature, py::arg("parameter_file"));
}

}  // namespace quarnel::python
