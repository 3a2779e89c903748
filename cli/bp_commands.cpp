#include "cli/commands.h"

namespace quarnel::cli {

void AddBpCommands(CLI::App& app, int& exitCode) {
    (void)app;
    (void)exitCode;
}

}  // namespace quarnel::cli
