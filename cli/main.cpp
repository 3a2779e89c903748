#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "cli/commands.h"
#include "cli/interrupt.h"

namespace {

bool IsCommand(const CLI::App& app, const std::string& name) {
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        if (command->check_name(name)) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"quarnel: batch algorithms for mineral-prospectivity work"};
    app.set_version_flag("--version", "quarnel 1.0.0.1");
    app.require_subcommand(1);
    int exitCode = 0;
    quarnel::cli::AddGridCommands(app, exitCode);
    quarnel::cli::AddPrepCommands(app, exitCode);
    quarnel::cli::AddBpCommands(app, exitCode);
    quarnel::cli::AddHierarchyCommands(app, exitCode);
    quarnel::cli::AddFeatureCommands(app, exitCode);
    quarnel::cli::AddGeoCommands(app, exitCode);
    quarnel::cli::AddEvaluateCommands(app, exitCode);
    quarnel::cli::AddPlotCommands(app, exitCode);
    quarnel::cli::AddWofeCommand(app, exitCode);
    quarnel::cli::AddFuzzyCommands(app, exitCode);
    quarnel::cli::AddLogisticCommands(app, exitCode);
    quarnel::cli::AddTreesCommands(app, exitCode);
    quarnel::cli::AddRunCommand(app, exitCode);
    // A first word that is no option and no command is named, rather than left to the parser's
    // "arguments were not expected".
    if (argc > 1 && argv[1][0] != '-' && !IsCommand(app, argv[1])) {
        std::cerr << "quarnel: no command '" << argv[1] << "' (quarnel --help lists them)\n";
        return 1;
    }
    // Nothing escapes: a command that throws ends with its cause and exit status 1.
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 1;
    } catch (const quarnel::Stopped& stopped) {
        std::cerr << "quarnel: " << stopped.what() << " (interrupted)\n";
        return quarnel::cli::kStoppedExitStatus;
    } catch (const std::bad_alloc&) {
        std::cerr << "quarnel: out of memory\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "quarnel: " << e.what() << "\n";
        return 1;
    } catch (...) {
        std::cerr << "quarnel: an unexpected error\n";
        return 1;
    }
    return exitCode;
}
