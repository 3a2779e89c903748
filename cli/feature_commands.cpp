#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/gbk_text.h"
#include "feature/feature_params.h"
#include "feature/feature_status.h"
#include "frame/quarnel.h"

namespace quarnel::cli {

namespace {

// Statuses the job returns before it creates the report, once its parameter file has been read:
// a report file of that name is not this run's.
bool ReportCreated(int code) {
    return code != kFeatureParamsRefused && code != kFeatureReportUnwritten;
}

void ShowReport(const char* path) {
    if (!PrintGbkFile(path, std::cout)) std::cerr << "cannot read " << path << "\n";
}

void RunFeature(const std::string& parameterFile, bool showReport, int& exitCode) {
    const int code = qelFeater(parameterFile.c_str());
    auto params = std::make_unique<FeatureParams>();
    const bool named = ReadFeatureParams(parameterFile.c_str(), *params) == kFeatureOk;
    if (showReport && named && ReportCreated(code)) ShowReport(params->reportPath);
    const std::string line = "qelFeater status " + std::to_string(code) + ": " + FeatureStatusText(code);
    if (code != kFeatureOk) {
        std::cerr << line << "\n";
        exitCode = 1;
        return;
    }
    std::cout << line << "\n";
    std::cout << "report: " << params->reportPath << "\n";
    std::cout << "score grid: " << params->scoreGridPath << "\n";
}

}  // namespace

void AddFeatureCommands(CLI::App& app, int& exitCode) {
    auto* feature = app.add_subcommand(
        "feature",
        "Characteristic analysis (qelFeater): coded evidence, product matrix, weights, score grid");
    auto parameterFile = std::make_shared<std::string>();
    auto showReport = std::make_shared<bool>(false);
    feature->add_option("PARAMFILE", *parameterFile, "parameter file (keyword QelFrmFeater)")->required();
    feature->add_flag("--show-report", *showReport, "print the report, converted from GBK to UTF-8");
    feature->callback(
        [parameterFile, showReport, &exitCode] { RunFeature(*parameterFile, *showReport, exitCode); });
}

}  // namespace quarnel::cli
