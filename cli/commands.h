#pragma once
// Each area of the library registers its subcommands on the host's parser. A subcommand's
// callback runs its job, prints what the user needs and sets exitCode to 1 on failure, after
// printing one line that names the job's status and its meaning.

namespace CLI {
class App;
}  // namespace CLI

namespace quarnel::cli {

void AddGridCommands(CLI::App& app, int& exitCode);
void AddPrepCommands(CLI::App& app, int& exitCode);
void AddBpCommands(CLI::App& app, int& exitCode);
void AddHierarchyCommands(CLI::App& app, int& exitCode);
void AddFeatureCommands(CLI::App& app, int& exitCode);
void AddGeoCommands(CLI::App& app, int& exitCode);
void AddRunCommand(CLI::App& app, int& exitCode);
// evaluate, plot and plot-curves: validation of prospectivity maps and their pictures.
void AddEvaluateCommands(CLI::App& app, int& exitCode);
void AddPlotCommands(CLI::App& app, int& exitCode);
// wofe: weights of evidence (cli/wofe_job.h).
void AddWofeCommand(CLI::App& app, int& exitCode);
// fuzzy: fuzzy overlay of evidence rasters.
void AddFuzzyCommands(CLI::App& app, int& exitCode);
// logistic: logistic regression of deposits on evidence rasters.
void AddLogisticCommands(CLI::App& app, int& exitCode);
// trees: gradient-boosted trees or a random forest of deposits on evidence rasters.
void AddTreesCommands(CLI::App& app, int& exitCode);

}  // namespace quarnel::cli
