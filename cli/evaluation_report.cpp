#include "cli/evaluation_report.h"

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "grid/output_file.h"

namespace quarnel::cli {

namespace {

// Curves in JSON keep a point per 0.001 of either axis; the CSV files keep every point.
constexpr double kJsonCurveStep = 0.001;

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
    for (const evaluate::CurvePoint& point : evaluate::ThinCurve(points, kJsonCurveStep))
        list.push_back({point.x, point.y});
    return list;
}

nlohmann::ordered_json Optional(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

nlohmann::ordered_json RocJson(const evaluate::RocResult& roc) {
    return {{"formed", roc.formed},
            {"deposit_cells", roc.depositCells},
            {"other_cells", roc.otherCells},
            {"auc", roc.formed ? nlohmann::ordered_json(roc.auc) : nlohmann::ordered_json()},
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
    std::string line = "ROC: AUC " + Fixed(roc.auc, 4);
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

// A CSV file of one curve, every point, written whole.
bool WriteCurve(const std::string& path, const char* header, std::span<const evaluate::CurvePoint> points) {
    OutputFile file;
    if (!file.Create(path.c_str())) return false;
    std::fprintf(file.stream(), "%s\n", header);
    for (const evaluate::CurvePoint& point : points)
        std::fprintf(file.stream(), "%.17g,%.17g\n", point.x, point.y);
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

    void Curves(const std::string& prefix, const evaluate::Evaluation& found) {
        Write(prefix + "roc.csv", [&](const std::string& path) {
            return WriteCurve(path, "false_positive_rate,true_positive_rate", found.roc.points);
        });
        Write(prefix + "success_rate.csv", [&](const std::string& path) {
            return WriteCurve(path, "area_share,deposit_share", found.successRate.points);
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
    return {{"roc", RocJson(found.roc)}, {"success_rate", SuccessRateJson(found.successRate)}};
}

// The map's cells are ranked once (in Sampled) for every set of deposits.
struct Sampled {
    const evaluate::CellSample& sample;
    std::span<const std::int64_t> depositCells;
    evaluate::ScoreRanking ranking;
};

evaluate::Evaluation EvaluateSubset(const Sampled& map, std::span<const std::int64_t> chosen) {
    return evaluate::Evaluate(map.ranking, evaluate::DepositsOfSubset(map.sample, map.depositCells, chosen));
}

// The valid deposits at the given places of sample.validDeposits, as deposit numbers.
std::vector<std::int64_t> DepositNumbers(const evaluate::CellSample& sample,
                                         std::span<const std::int64_t> places) {
    std::vector<std::int64_t> numbers;
    for (const std::int64_t place : places)
        numbers.push_back(sample.validDeposits[static_cast<std::size_t>(place)]);
    return numbers;
}

// One set of deposits: its CSV curves written, its summary lines added by describe, its JSON
// returned. The curves (a point per distinct score) are freed on return, so a run holds one
// set's at a time.
template <typename Describe>
nlohmann::ordered_json ReportSubset(const Sampled& map, std::span<const std::int64_t> chosen,
                                    const std::string& prefix, CsvFiles& csv, Describe describe) {
    const evaluate::Evaluation found = EvaluateSubset(map, chosen);
    describe(found);
    csv.Curves(prefix, found);
    return EvaluationJson(found);
}

// The cell of each valid deposit: deposits sharing a cell are split together.
std::vector<std::int64_t> CellsOfValidDeposits(const Sampled& map) {
    std::vector<std::int64_t> cells;
    for (const std::int64_t deposit : map.sample.validDeposits)
        cells.push_back(map.depositCells[static_cast<std::size_t>(deposit)]);
    return cells;
}

void ReportHoldout(const Sampled& map, const EvaluationRequest& request, JobOutput& output, CsvFiles& csv) {
    const evaluate::CellSample& sample = map.sample;
    const evaluate::DepositSplit split =
        evaluate::HoldoutSplitByGroup(CellsOfValidDeposits(map), *request.holdout, request.seed);
    const std::vector<std::int64_t> training = DepositNumbers(sample, split.training);
    const std::vector<std::int64_t> heldOut = DepositNumbers(sample, split.heldOut);
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

void ReportFolds(const Sampled& map, const EvaluationRequest& request, JobOutput& output, CsvFiles& csv) {
    const evaluate::CellSample& sample = map.sample;
    const std::vector<int> foldOf =
        evaluate::FoldSplitByGroup(CellsOfValidDeposits(map), request.folds, request.seed);
    nlohmann::ordered_json folds = nlohmann::ordered_json::array();
    for (int fold = 0; fold < request.folds; ++fold) {
        std::vector<std::int64_t> places;
        for (std::size_t i = 0; i < foldOf.size(); ++i) {
            if (foldOf[i] == fold) places.push_back(static_cast<std::int64_t>(i));
        }
        const std::vector<std::int64_t> deposits = DepositNumbers(sample, places);
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

void ReportEvaluation(const evaluate::CellSample& sample, std::span<const std::int64_t> depositCells,
                      const EvaluationRequest& request, JobOutput& output) {
    output.ok = false;
    if (sample.validDeposits.empty()) {
        output.status = kEvaluateInputsUnfit;
        output.meaning = EvaluateStatusText(output.status);
        output.cause =
            sample.scores.empty() ? "the map has no valid cells" : "no deposit falls on a valid cell";
        return;
    }
    CsvFiles csv(request.csvFolder, output);
    const Sampled map{sample, depositCells, evaluate::RankScores(sample.scores)};
    output.results["cells"] = sample.scores.size();
    output.results["deposits_used"] = sample.validDeposits.size();
    output.results.update(
        ReportSubset(map, sample.validDeposits, "", csv, [&](const evaluate::Evaluation& found) {
            output.summary.push_back(RocLine(found.roc));
            output.summary.push_back(SuccessRateLine("success rate", found.successRate));
        }));
    if (request.classes) {
        const std::vector<evaluate::ClassRow> table = evaluate::ClassTable(sample.scores, sample.deposits);
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
