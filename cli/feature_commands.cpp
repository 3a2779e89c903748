#include "cli/commands.h"

namespace quarnel::cli {

void AddFeatureCommands(CLI::App& app, int& exitCode) {
    (void)app;
    (void)exitCode;
}

}  // namespace quarnel::cli
