// The wofe job: its words taken into a request, the run through the GDAL door, and its results
// as the command's JSON.
#include "cli/wofe_job.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "cli/door_jobs.h"
#include "geo/wofe.h"
#include "quarnel/requests.h"

namespace quarnel::cli {
namespace {

using Json = nlohmann::ordered_json;
namespace decl = params::wofe;

constexpr int kWritten = 0;
constexpr int kFailed = 1;

const char* WofeStatusText(int status) {
    return status == kWritten
               ? "written"
               : "failed: an input cannot be read, lies on another grid or holds no classes, the "
                 "weights cannot be formed or generalised, or an output cannot be written";
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// One word per evidence raster: the list's own, or its one word for all.
std::vector<std::string> PerLayer(const std::string& option, const std::string& text, std::size_t layers,
                                  const std::string& fallback) {
    std::vector<std::string> words = Split(text.empty() ? fallback : text);
    if (words.size() == 1) words.assign(layers, words.front());
    if (words.size() != layers)
        throw geo::GeoError(option + ": " + std::to_string(words.size()) + " values for " +
                            std::to_string(layers) + " evidence rasters; give one for each or one for all");
    return words;
}

double NumberOf(const std::string& option, const std::string& word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value))
        throw geo::GeoError(option + ": \"" + word + "\" is no number");
    return value;
}

std::string NameOf(const WofeArgs& a, std::size_t k) {
    return k < a.names.size() ? a.names[k] : geo::WofeLayerName(a.evidence[k]);
}

std::vector<double> BreaksOf(const WofeArgs& a, const std::string& name) {
    std::vector<double> breaks;
    for (const std::string& given : a.breaks) {
        const std::size_t equals = given.find('=');
        if (equals == std::string::npos) throw geo::GeoError("--breaks " + given + ": give NAME=B1,B2,...");
        if (given.substr(0, equals) != name) continue;
        for (const std::string& word : Split(given.substr(equals + 1)))
            breaks.push_back(NumberOf("--breaks", word));
    }
    return breaks;
}

geo::WofeRequest RequestOf(const WofeArgs& a) {
    geo::WofeRequest request;
    const std::size_t n = a.evidence.size();
    const std::string defaultRule(decl::kGeneralize.fallback);
    const auto types = PerLayer("--type", a.types, n, std::string(decl::kTypeChoices[0]));
    const auto rules = PerLayer("--generalize", a.generalize, n, defaultRule);
    const auto missing =
        a.missing.empty() ? std::vector<std::string>(n) : PerLayer("--missing", a.missing, n, "");
    for (const std::string& given : a.breaks) {
        const std::string name = given.substr(0, given.find('='));
        bool known = false;
        for (std::size_t k = 0; k < n; ++k) known = known || NameOf(a, k) == name;
        if (!known) throw geo::GeoError("--breaks " + given + ": no evidence raster is named " + name);
    }
    for (std::size_t k = 0; k < n; ++k) {
        geo::WofeEvidence evidence;
        evidence.name = NameOf(a, k);
        evidence.raster = a.evidence[k];
        const auto type = wofe::TypeOf(types[k]);
        if (!type) throw geo::GeoError("--type " + types[k] + ": one of categorical, ascending, descending");
        evidence.type = *type;
        const auto rule = wofe::RuleOf(rules[k], a.minStudentized);
        if (!rule)
            throw geo::GeoError(
                "--generalize " + rules[k] +
                ": one of max-contrast, max-significant-contrast, max-studentized, value:V, none");
        evidence.rule = *rule;
        if (!missing[k].empty()) {
            const double value = NumberOf("--missing", missing[k]);
            if (value != std::floor(value))
                throw geo::GeoError("--missing " + missing[k] + ": a class is a whole number");
            evidence.missing.push_back(std::int64_t(value));
        }
        evidence.breaks = BreaksOf(a, evidence.name);
        request.evidence.push_back(evidence);
    }
    if (a.unitArea != "cell") {
        request.unitAreaKm2 = a.unitArea.empty() ? 1.0 : NumberOf("--unit-area", a.unitArea);
        if (!(*request.unitAreaKm2 > 0))
            throw geo::GeoError("--unit-area " + a.unitArea + ": must be above 0");
    }
    if (!a.count.empty() && a.count != "points" && a.count != "cells")
        throw geo::GeoError("--count " + a.count + ": points or cells");
    request.countCells = a.count == "cells";
    request.mask = a.mask;
    request.output = a.output;
    request.weightsOnly = a.weightsOnly;
    request.depositsFile = a.deposits;
    return request;
}

Json Optional(const std::optional<double>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json LayerJson(const wofe::LayerWeights& layer) {
    Json classes = Json::array();
    for (const wofe::ClassRow& row : layer.rows) {
        const wofe::Weights& w = row.weights;
        classes.push_back(
            {{"class", row.value},
             {"cells", row.cells},
             {"area_units", row.area},
             {"deposits", row.deposits},
             {"w_plus", Optional(w.wPlus)},
             {"s_w_plus", Optional(w.sWPlus)},
             {"w_minus", Optional(w.wMinus)},
             {"s_w_minus", Optional(w.sWMinus)},
             {"contrast", Optional(w.contrast)},
             {"s_contrast", Optional(w.sContrast)},
             {"studentized_contrast", Optional(w.studentized)},
             {"generalized_class", row.generalizedClass ? Json(*row.generalizedClass) : Json(nullptr)},
             {"weight", Optional(row.weight)},
             {"weight_std", Optional(row.weightStd)},
             {"note", w.note.empty() ? Json(nullptr) : Json(w.note)}});
    }
    Json missing = Json::array();
    for (const wofe::ClassCount& m : layer.missing)
        missing.push_back({{"class", m.value}, {"cells", m.cells}, {"deposits", m.deposits}});
    return {{"name", layer.name},
            {"type", wofe::TypeName(layer.type)},
            {"known_area_units", layer.knownArea},
            {"known_deposits", layer.knownDeposits},
            {"classes", classes},
            {"missing", missing},
            {"generalization",
             {{"method", layer.method},
              {"row", layer.row ? Json(*layer.row) : Json(nullptr)},
              {"ok", layer.ok},
              {"reason", layer.reason.empty() ? Json(nullptr) : Json(layer.reason)}}}};
}

Json ResultsOf(const geo::WofeResult& found, std::int64_t counted) {
    Json results;
    results["unit_area_km2"] = Optional(found.unitAreaKm2);
    results["study_area_units"] = found.model.studyArea;
    results["deposits"] = {{"read", found.depositsRead},
                           {"outside", found.depositsOutside},
                           {"on_no_data", found.depositsOnNoData},
                           {"counted", counted}};
    results["prior"] = {{"probability", found.model.priorProbability}, {"logit", found.model.priorLogit}};
    Json layers = Json::array();
    for (const wofe::LayerWeights& layer : found.model.layers) layers.push_back(LayerJson(layer));
    results["layers"] = layers;
    const char* names[] = {"posterior", "posterior_std", "confidence"};
    for (std::size_t m = 0; m < 3; ++m)
        results[names[m]] = m < found.maps.size() ? Json({{"path", found.maps[m].path},
                                                          {"cells", found.maps[m].cells},
                                                          {"min", found.maps[m].min},
                                                          {"max", found.maps[m].max}})
                                                  : Json(nullptr);
    if (found.independence) {
        const wofe::Independence& t = *found.independence;
        Json pairs = Json::array();
        for (const wofe::PairTest& pair : found.pairwise)
            pairs.push_back({{"a", found.model.layers[pair.a].name},
                             {"b", found.model.layers[pair.b].name},
                             {"chi_square", Optional(pair.chiSquare)},
                             {"p", Optional(pair.p)}});
        results["conditional_independence"] = {{"expected", t.expected},
                                               {"observed", t.observed},
                                               {"ratio", t.ratio},
                                               {"std", t.std},
                                               {"z", t.z},
                                               {"p", t.p},
                                               {"rejected_95", t.rejected95},
                                               {"rejected_99", t.rejected99},
                                               {"pairwise", pairs}};
    } else {
        results["conditional_independence"] = nullptr;
    }
    return results;
}

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

void Summarise(const geo::WofeResult& found, JobOutput& out) {
    const wofe::Model& model = found.model;
    out.summary.push_back("study area: " + std::to_string(found.studyCells) + " cells, " +
                          Figure(model.studyArea) + " unit cells, " + std::to_string(model.deposits) +
                          " deposits counted; prior " + Figure(model.priorProbability));
    for (const wofe::LayerWeights& layer : model.layers) {
        std::string line = layer.name + " (" + wofe::TypeName(layer.type) + ", " + layer.method + "):";
        for (const wofe::ClassRow& row : layer.rows) {
            line += ' ';
            line += std::to_string(row.value);
            line += row.weights.contrast
                        ? ": C " + Figure(*row.weights.contrast) + " C/s " + Figure(*row.weights.studentized)
                        : std::string(": C -");
            if (layer.row && *layer.row == row.value) line += " (chosen)";
            line += ';';
        }
        out.summary.push_back(line);
    }
}

void RunWofeJob(const WofeArgs& a, const Progress& progress, JobOutput& out) {
    geo::InitialiseGdal();
    geo::WofeRequest request = RequestOf(a);
    const geo::Raster first = geo::Raster::Open(a.evidence.front());
    request.deposits = geo::ReadPoints(a.deposits, first.frame().crsWkt, a.points);
    const geo::WofeResult found = geo::RunWofe(request, a.write, progress);
    out.outputs = found.tables;
    for (const geo::WofeMap& map : found.maps) out.outputs.push_back(map.path);
    out.results = ResultsOf(found, found.model.deposits);
    Summarise(found, out);
    for (const std::string& path : out.outputs) out.summary.push_back("wrote " + path);
    if (found.independence) {
        const wofe::Independence& t = *found.independence;
        out.summary.push_back("conditional independence: T " + Figure(t.expected) + " for " +
                              std::to_string(t.observed) + " deposits (n/T " + Figure(t.ratio) + "), z " +
                              Figure(t.z) + ", p " + Figure(t.p) + ": " +
                              (t.rejected99   ? "rejected at 99 %"
                               : t.rejected95 ? "rejected at 95 %"
                                              : "not rejected"));
    }
    if (found.maps.empty()) {
        out.results["validation"] = nullptr;
        return;
    }
    const JobOutput judged = EvaluateOutput(found.maps.front().path, a.deposits, a.points, {});
    if (!judged.ok) throw geo::GeoError("the posterior's evaluation failed: " + judged.cause);
    out.results["validation"] = {{"roc", judged.results["roc"]},
                                 {"success_rate", judged.results["success_rate"]}};
    out.summary.push_back("validation: ROC AUC " + Figure(judged.results["roc"]["auc"].get<double>()) +
                          ", success-rate area " +
                          Figure(judged.results["success_rate"]["area"].get<double>()));
}

}  // namespace

JobOutput WofeOutput(const WofeArgs& args, const Progress& progress) {
    JobOutput out = StatusOutput("wofe", true, kWritten, WofeStatusText(kWritten), {});
    try {
        RunWofeJob(args, progress, out);
    } catch (const Stopped&) {
        throw;
    } catch (const std::bad_alloc&) {
        out = StatusOutput("wofe", false, kFailed, WofeStatusText(kFailed), "out of memory");
    } catch (const std::exception& error) {
        out = StatusOutput("wofe", false, kFailed, WofeStatusText(kFailed), error.what());
    }
    return out;
}

}  // namespace quarnel::cli
