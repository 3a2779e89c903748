#include "cli/fuzzy_job.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

#include "cli/door_jobs.h"
#include "cli/geo_door.h"
#include "quarnel/parameters.h"

namespace quarnel::cli {

namespace {

namespace fs = std::filesystem;
using nlohmann::ordered_json;

// DIR/STEM.tif for each input; a stem met before gets the input's number.
std::vector<std::string> MembershipPaths(const std::vector<std::string>& evidence,
                                         const std::string& folder) {
    std::vector<std::string> paths;
    if (folder.empty()) return std::vector<std::string>(evidence.size());
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw geo::GeoError(folder + ": the membership folder cannot be made: " + error.message());
    for (std::size_t k = 0; k < evidence.size(); ++k) {
        std::string path = (fs::path(folder) / (fs::path(evidence[k]).stem().string() + ".tif")).string();
        for (const std::string& earlier : paths)
            if (earlier == path)
                path = (fs::path(folder) /
                        (fs::path(evidence[k]).stem().string() + "_" + std::to_string(k + 1) + ".tif"))
                           .string();
        paths.push_back(path);
    }
    return paths;
}

geo::FuzzyOverlayRequest RequestOf(const FuzzyArgs& a) {
    if (a.memberships.size() != a.evidence.size())
        throw geo::GeoError(std::to_string(a.memberships.size()) + " memberships for " +
                            std::to_string(a.evidence.size()) + " inputs; give one --membership per input");
    geo::FuzzyOverlayRequest request;
    request.op = FuzzyOperatorNamed(a.op);
    request.gamma = a.gamma;
    request.output = a.output;
    const std::vector<std::string> paths = MembershipPaths(a.evidence, a.membershipFolder);
    for (std::size_t k = 0; k < a.evidence.size(); ++k)
        request.inputs.push_back({a.evidence[k], fuzzy::ParseMembership(a.memberships[k]), paths[k]});
    return request;
}

ordered_json ParametersJson(const fuzzy::Membership& m) {
    switch (m.kind) {
        case fuzzy::Kind::linear:
            return {{"low", m.low}, {"high", m.high}};
        case fuzzy::Kind::large:
        case fuzzy::Kind::small:
        case fuzzy::Kind::gaussian:
            return {{"midpoint", m.midpoint}, {"spread", m.spread}};
        case fuzzy::Kind::classes: {
            ordered_json values = ordered_json::object();
            for (const auto& [value, membership] : m.classes) values[params::PlainNumber(value)] = membership;
            return {{"values", values}};
        }
        case fuzzy::Kind::asIs:
            break;
    }
    return ordered_json::object();
}

}  // namespace

const char* MethodStatusText(int status) {
    return status == kMethodWritten
               ? "written"
               : "failed: an input cannot be read or lies on another grid, the points do "
                 "not fit the request, or an output cannot be written";
}

fuzzy::Operator FuzzyOperatorNamed(const std::string& word) {
    for (std::size_t i = 0; i < std::size(fuzzy::kOperatorNames); ++i)
        if (fuzzy::kOperatorNames[i] == word) return fuzzy::Operator(i);
    throw std::invalid_argument("no fuzzy operator '" + word + "' (and, or, product, sum or gamma)");
}

JobOutput FuzzyOutput(const FuzzyArgs& a, const Progress& progress) {
    return GdalDoorOutput("fuzzy", kMethodWritten, MethodStatusText, kMethodFailed, [&](JobOutput& out) {
        const geo::FuzzyOverlayRequest request = RequestOf(a);
        const geo::FuzzyOverlayResult result = geo::FuzzyOverlay(request, a.write, progress);
        ordered_json inputs = ordered_json::array();
        for (std::size_t k = 0; k < request.inputs.size(); ++k) {
            const fuzzy::Membership& m = request.inputs[k].membership;
            ordered_json input = {{"path", request.inputs[k].raster},
                                  {"membership", fuzzy::kKindNames[std::size_t(m.kind)]},
                                  {"parameters", ParametersJson(m)},
                                  {"min", result.inputs[k].min},
                                  {"max", result.inputs[k].max}};
            if (!request.inputs[k].membershipOutput.empty()) {
                input["membership_raster"] = request.inputs[k].membershipOutput;
                out.outputs.push_back(request.inputs[k].membershipOutput);
            }
            inputs.push_back(input);
        }
        out.outputs.push_back(a.output);
        out.results["inputs"] = inputs;
        out.results["operator"] = fuzzy::kOperatorNames[std::size_t(request.op)];
        out.results["gamma"] =
            request.op == fuzzy::Operator::gamma ? ordered_json(request.gamma) : ordered_json();
        out.results["output"] = a.output;
        out.results["cells"] = {{"valid", result.valid}, {"blank", result.blank}};
        out.results["range"] = {{"min", result.min}, {"max", result.max}};
        out.summary.push_back("wrote " + a.output + " (" + std::string(out.results["operator"]) + " of " +
                              std::to_string(request.inputs.size()) + " memberships, " +
                              std::to_string(result.valid) + " cells with a value)");
        if (a.deposits.empty()) return;
        JudgeMapOrWithdraw(a.output, a.deposits, a.points, out);
    });
}

}  // namespace quarnel::cli
