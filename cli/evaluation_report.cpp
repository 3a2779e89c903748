#include "cli/evaluation_report.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <utility>
#include <vector>

#include "formats/grid/output_file.h"

namespace quarnel::cli {

namespace {

// Curves in JSON keep a point per 0.001 of either axis; the CSV files keep every point.
constexpr double kJsonCurveStep = 0.001;
// A class table of more rows than this is no class table: the map holds scores.
constexpr std::int64_t kMostClasses = 1000;

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Percent(double share) {
    return Fixed(100 * share, 2) + " %";
}

nlohmann::ordered_json Points(std::span<const evaluate::CurvePoint> points) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const evaluate::CurvePoint& point : points) list.push_back({point.x, point.y});
    return list;
}

nlohmann::ordered_json Optional(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

nlohmann::ordered_json RocJson(const evaluate::RocResult& roc) {
    return {{"formed", roc.formed},
            {"deposit_cells", roc.depositCells},
            {"other_cells", roc.otherCells},
            {"auc", Optional(roc.auc)},
            {"auc_low", Optional(roc.aucLow)},
            {"auc_high", Optional(roc.aucHigh)},
            {"standard_error", Optional(roc.standardError)},
            {"points", Points(roc.points)}};
}

nlohmann::ordered_json SuccessRateJson(const evaluate::SuccessRateResult& rate) {
    const auto formed = [&](double value) {
        return rate.formed ? nlohmann::ordered_json(value) : nlohmann::ordered_json();
    };
    return {{"formed", rate.formed},
            {"cells", rate.cells},
            {"deposits", rate.deposits},
            {"area", formed(rate.area)},
            {"area_for_50", formed(rate.areaFor50)},
            {"area_for_75", formed(rate.areaFor75)},
            {"area_for_90", formed(rate.areaFor90)},
            {"points", Points(rate.points)}};
}

nlohmann::ordered_json PrecisionRecallJson(const evaluate::PrecisionRecallResult& pr) {
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const evaluate::PrecisionRecallPoint& point : pr.points)
        points.push_back({point.threshold, point.recall, point.precision});
    return {{"formed", pr.formed},
            {"deposit_cells", pr.depositCells},
            {"average_precision", Optional(pr.averagePrecision)},
            {"points", std::move(points)}};
}

nlohmann::ordered_json PredictionAreaJson(const evaluate::PredictionAreaResult& pa) {
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const evaluate::PredictionAreaPoint& point : pa.points)
        points.push_back({point.threshold, point.predictionRate, point.areaShare});
    nlohmann::ordered_json crossing;
    if (pa.formed) {
        crossing = {{"threshold", pa.crossing.threshold},
                    {"prediction_rate", pa.crossing.predictionRate},
                    {"area_share", pa.crossing.areaShare}};
    }
    return {{"formed", pa.formed}, {"crossing", std::move(crossing)}, {"points", std::move(points)}};
}

nlohmann::ordered_json ProbabilityJson(const evaluate::ProbabilityScores& scores) {
    return {{"log_loss", Optional(scores.logLoss)},
            {"brier", Optional(scores.brier)},
            {"note", scores.note.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(scores.note)}};
}

nlohmann::ordered_json ClassesJson(const std::vector<evaluate::ClassRow>& table) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const evaluate::ClassRow& row : table) {
        rows.push_back({{"value", row.value},
                        {"cells", row.cells},
                        {"area_share", row.areaShare},
                        {"deposits", row.deposits},
                        {"density", row.density}});
    }
    return rows;
}

std::string RocLine(const evaluate::RocResult& roc) {
    if (!roc.formed) return "ROC: not formed (it needs deposit cells and other cells)";
    std::string line = "ROC: AUC " + Fixed(*roc.auc, 4);
    if (roc.aucLow)
        line += " (95 % interval by DeLong " + Fixed(*roc.aucLow, 4) + " .. " + Fixed(*roc.aucHigh, 4) + ")";
    return line + ", " + std::to_string(roc.depositCells) + " deposit cells against " +
           std::to_string(roc.otherCells) + " other cells";
}

std::string SuccessRateLine(const char* name, const evaluate::SuccessRateResult& rate) {
    if (!rate.formed) return std::string(name) + ": not formed (no deposits)";
    return std::string(name) + ": area " + Fixed(rate.area, 4) + "; 50 % of " +
           std::to_string(rate.deposits) + " deposits in " + Percent(rate.areaFor50) +
           " of the area, 75 % in " + Percent(rate.areaFor75) + ", 90 % in " + Percent(rate.areaFor90);
}

std::string MeasuresLine(const evaluate::Evaluation& found) {
    std::string line = "average precision ";
    line += found.precisionRecall.formed ? Fixed(*found.precisionRecall.averagePrecision, 4) : "-";
    if (found.predictionArea.formed) {
        const evaluate::PredictionAreaPoint& at = found.predictionArea.crossing;
        char threshold[32];
        std::snprintf(threshold, sizeof threshold, "%.6g", at.threshold);
        line += std::string("; P-A crossing at ") + threshold + ": " + Percent(at.predictionRate) +
                " of the deposits in " + Percent(at.areaShare) + " of the area";
    }
    const evaluate::ProbabilityScores& scores = found.probability;
    if (scores.logLoss)
        return line + "; log loss " + Fixed(*scores.logLoss, 4) + ", Brier " + Fixed(*scores.brier, 4);
    return line + "; no log loss or Brier score: " + scores.note;
}

// A CSV file of three columns, a row per point of a curve as the walk gives it, written whole.
template <typename Point>
using PointWalk = void (*)(std::span<const double>, std::span<const evaluate::DepositGroup>,
                           const std::function<void(const Point&)>&);
template <typename Point, typename Columns>
bool WriteTable(const std::string& path, const char* header, PointWalk<Point> walk, Columns columns,
                std::span<const double> ranked, std::span<const evaluate::DepositGroup> deposits) {
    OutputFile file;
    if (!file.Create(path.c_str())) return false;
    std::fprintf(file.stream(), "%s\n", header);
    walk(ranked, deposits, [&](const Point& point) {
        const auto [a, b, c] = columns(point);
        std::fprintf(file.stream(), "%.17g,%.17g,%.17g\n", a, b, c);
    });
    return file.Commit();
}

// A CSV file of one curve, every point as the walk gives it, written whole.
using CurveWalk = void (*)(std::span<const double>, std::span<const evaluate::DepositGroup>,
                           const std::function<void(const evaluate::CurvePoint&)>&);
bool WriteCurve(const std::string& path, const char* header, CurveWalk walk, std::span<const double> ranked,
                std::span<const evaluate::DepositGroup> deposits) {
    OutputFile file;
    if (!file.Create(path.c_str())) return false;
    std::fprintf(file.stream(), "%s\n", header);
    walk(ranked, deposits, [&](const evaluate::CurvePoint& point) {
        std::fprintf(file.stream(), "%.17g,%.17g\n", point.x, point.y);
    });
    return file.Commit();
}

bool WriteClasses(const std::string& path, const std::vector<evaluate::ClassRow>& table) {
    OutputFile file;
    if (!file.Create(path.c_str())) return false;
    std::fprintf(file.stream(), "value,cells,area_share,deposits,density\n");
    for (const evaluate::ClassRow& row : table) {
        std::fprintf(file.stream(), "%.17g,%lld,%.17g,%lld,%.17g\n", row.value,
                     static_cast<long long>(row.cells), row.areaShare, static_cast<long long>(row.deposits),
                     row.density);
    }
    return file.Commit();
}

// Collects the CSV files; the first that cannot be written ends the writing and is the cause.
class CsvFiles {
  public:
    CsvFiles(const std::string& folder, JobOutput& output) : folder_(folder), output_(output) {}

    void Curves(const std::string& prefix, std::span<const double> ranked,
                std::span<const evaluate::DepositGroup> deposits) {
        Write(prefix + "roc.csv", [&](const std::string& path) {
            return WriteCurve(path, "false_positive_rate,true_positive_rate", evaluate::ForEachRocPoint,
                              ranked, deposits);
        });
        Write(prefix + "success_rate.csv", [&](const std::string& path) {
            return WriteCurve(path, "area_share,deposit_share", evaluate::ForEachSuccessRatePoint, ranked,
                              deposits);
        });
        Write(prefix + "precision_recall.csv", [&](const std::string& path) {
            return WriteTable<evaluate::PrecisionRecallPoint>(
                path, "threshold,recall,precision", evaluate::ForEachPrecisionRecallPoint,
                [](const evaluate::PrecisionRecallPoint& p) {
                    return std::array{p.threshold, p.recall, p.precision};
                },
                ranked, deposits);
        });
        Write(prefix + "prediction_area.csv", [&](const std::string& path) {
            return WriteTable<evaluate::PredictionAreaPoint>(
                path, "threshold,prediction_rate,area_share", evaluate::ForEachPredictionAreaPoint,
                [](const evaluate::PredictionAreaPoint& p) {
                    return std::array{p.threshold, p.predictionRate, p.areaShare};
                },
                ranked, deposits);
        });
    }
    void Classes(const std::vector<evaluate::ClassRow>& table) {
        Write("classes.csv", [&](const std::string& path) { return WriteClasses(path, table); });
    }
    bool failed() const { return failed_; }

  private:
    template <typename Writer>
    void Write(const std::string& name, Writer writer) {
        if (folder_.empty() || failed_) return;
        const std::string path = (std::filesystem::path(folder_) / name).string();
        if (writer(path)) {
            output_.outputs.push_back(path);
            return;
        }
        failed_ = true;
        output_.cause = path + ": cannot write the file";
    }

    std::string folder_;
    JobOutput& output_;
    bool failed_ = false;
};

nlohmann::ordered_json EvaluationJson(const evaluate::Evaluation& found) {
    return {{"roc", RocJson(found.roc)},
            {"success_rate", SuccessRateJson(found.successRate)},
            {"precision_recall", PrecisionRecallJson(found.precisionRecall)},
            {"prediction_area", PredictionAreaJson(found.predictionArea)},
            {"probability", ProbabilityJson(found.probability)}};
}

// The valid deposits at the given places of map.validDeposits, as deposit numbers.
std::vector<std::int64_t> DepositNumbers(const evaluate::RankedMap& map,
                                         std::span<const std::int64_t> places) {
    std::vector<std::int64_t> numbers;
    for (const std::int64_t place : places)
        numbers.push_back(map.validDeposits[static_cast<std::size_t>(place)]);
    return numbers;
}

// One set of deposits: its CSV curves written, its summary lines added by describe, its JSON
// returned (curves thinned: a picture's worth of points, whatever the map's size).
template <typename Describe>
nlohmann::ordered_json ReportSubset(const evaluate::RankedMap& map, std::span<const std::int64_t> chosen,
                                    const std::string& prefix, CsvFiles& csv, Describe describe) {
    const std::vector<evaluate::DepositGroup> deposits = evaluate::GroupDeposits(map, chosen);
    const evaluate::Evaluation found = evaluate::Evaluate(map.scores, deposits, kJsonCurveStep);
    describe(found);
    csv.Curves(prefix, map.scores, deposits);
    return EvaluationJson(found);
}

// The cell of each valid deposit: deposits sharing a cell are split together.
std::vector<std::int64_t> CellsOfValidDeposits(const evaluate::RankedMap& map) {
    std::vector<std::int64_t> cells;
    for (const std::int64_t deposit : map.validDeposits)
        cells.push_back(map.depositCells[static_cast<std::size_t>(deposit)]);
    return cells;
}

void ReportHoldout(const evaluate::RankedMap& map, const EvaluationRequest& request, JobOutput& output,
                   CsvFiles& csv) {
    const evaluate::DepositSplit split =
        evaluate::HoldoutSplitByGroup(CellsOfValidDeposits(map), *request.holdout, request.seed);
    const std::vector<std::int64_t> training = DepositNumbers(map, split.training);
    const std::vector<std::int64_t> heldOut = DepositNumbers(map, split.heldOut);
    std::vector<std::string>& lines = output.summary;
    lines.push_back("holdout of " + Percent(*request.holdout) + " (seed " + std::to_string(request.seed) +
                    "): " + std::to_string(training.size()) + " training deposits, " +
                    std::to_string(heldOut.size()) + " held out");
    nlohmann::ordered_json trained =
        ReportSubset(map, training, "training_", csv, [&](const evaluate::Evaluation& found) {
            lines.push_back("training " + SuccessRateLine("success rate", found.successRate));
        });
    nlohmann::ordered_json predicted =
        ReportSubset(map, heldOut, "held_out_", csv, [&](const evaluate::Evaluation& found) {
            lines.push_back("held out " + SuccessRateLine("prediction rate", found.successRate));
            lines.push_back("held out " + RocLine(found.roc));
        });
    output.results["holdout"] = {{"fraction", *request.holdout},   {"seed", request.seed},
                                 {"training_deposits", training},  {"held_out_deposits", heldOut},
                                 {"training", std::move(trained)}, {"held_out", std::move(predicted)}};
}

void ReportFolds(const evaluate::RankedMap& map, const EvaluationRequest& request, JobOutput& output,
                 CsvFiles& csv) {
    const std::vector<int> foldOf =
        evaluate::FoldSplitByGroup(CellsOfValidDeposits(map), request.folds, request.seed);
    nlohmann::ordered_json folds = nlohmann::ordered_json::array();
    for (int fold = 0; fold < request.folds; ++fold) {
        std::vector<std::int64_t> places;
        for (std::size_t i = 0; i < foldOf.size(); ++i) {
            if (foldOf[i] == fold) places.push_back(static_cast<std::int64_t>(i));
        }
        const std::vector<std::int64_t> deposits = DepositNumbers(map, places);
        const std::string number = std::to_string(fold + 1);
        nlohmann::ordered_json one = {{"fold", fold + 1}, {"deposits", deposits}};
        one.update(
            ReportSubset(map, deposits, "fold_" + number + "_", csv, [&](const evaluate::Evaluation& found) {
                output.summary.push_back("fold " + number + " of " + std::to_string(request.folds) + " " +
                                         SuccessRateLine("prediction rate", found.successRate));
            }));
        folds.push_back(std::move(one));
    }
    output.results["folds"] = {{"count", request.folds}, {"seed", request.seed}, {"each", folds}};
}

}  // namespace

void ReportEvaluation(const evaluate::RankedMap& map, const EvaluationRequest& request, JobOutput& output) {
    output.ok = false;
    output.status = kEvaluateInputsUnfit;
    output.meaning = EvaluateStatusText(output.status);
    if (map.validDeposits.empty()) {
        output.cause = map.scores.empty() ? "the map has no valid cells" : "no deposit falls on a valid cell";
        return;
    }
    if (request.classes) {
        if (const std::int64_t classes = evaluate::DistinctScores(map.scores); classes > kMostClasses) {
            output.cause = "--classes: the map holds " + std::to_string(classes) +
                           " distinct values, more than the " + std::to_string(kMostClasses) +
                           " classes a class table takes";
            return;
        }
    }
    CsvFiles csv(request.csvFolder, output);
    output.results["cells"] = map.scores.size();
    output.results["deposits_used"] = map.validDeposits.size();
    output.results.update(
        ReportSubset(map, map.validDeposits, "", csv, [&](const evaluate::Evaluation& found) {
            output.summary.push_back(RocLine(found.roc));
            output.summary.push_back(SuccessRateLine("success rate", found.successRate));
            output.summary.push_back(MeasuresLine(found));
        }));
    if (request.classes) {
        const std::vector<evaluate::ClassRow> table =
            evaluate::ClassTable(map.scores, evaluate::GroupDeposits(map, map.validDeposits));
        output.results["classes"] = ClassesJson(table);
        for (const evaluate::ClassRow& row : table) {
            output.summary.push_back("class " + nlohmann::ordered_json(row.value).dump() + ": " +
                                     Percent(row.areaShare) + " of the area, " +
                                     std::to_string(row.deposits) + " deposits, density " +
                                     Fixed(row.density, 2));
        }
        csv.Classes(table);
    }
    if (request.holdout) ReportHoldout(map, request, output, csv);
    if (request.folds > 0) ReportFolds(map, request, output, csv);
    if (!request.csvFolder.empty() && !csv.failed()) {
        output.summary.push_back("wrote " + std::to_string(output.outputs.size()) + " CSV files into " +
                                 request.csvFolder);
    }
    output.status = csv.failed() ? kEvaluateOutputUnwritten : kEvaluateOk;
    output.meaning = EvaluateStatusText(output.status);
    output.ok = !csv.failed();
}

}  // namespace quarnel::cli
