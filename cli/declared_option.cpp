#include "cli/declared_option.h"

#include <CLI/CLI.hpp>
#include <string>

namespace quarnel::cli {

namespace {

std::string OptionName(const params::Parameter& parameter) {
    std::string name = "--" + std::string(parameter.name);
    for (char& c : name)
        if (c == '_') c = '-';
    return name;
}

std::string HelpOf(const params::Parameter& parameter) {
    std::string help(parameter.help);
    if (!parameter.unit.empty()) help += " (" + std::string(parameter.unit) + ")";
    const std::string range = params::RangeText(parameter);
    if (!range.empty()) help += "; " + range;
    return help + "; default: " + params::DefaultText(parameter);
}

// CLI11's check: the declaration's cause, or empty when the value is accepted.
CLI::Validator DeclaredRange(const params::Parameter& parameter) {
    return CLI::Validator(
        [&parameter](std::string& text) {
            try {
                std::size_t used = 0;
                const double value = std::stod(text, &used);
                if (used != text.size()) return std::string("not a number: ") + text;
                return params::CheckNumber(parameter, value);
            } catch (const std::exception&) {
                return std::string("not a number: ") + text;
            }
        },
        params::RangeText(parameter));
}

template <class T>
CLI::Option* Add(CLI::App& command, const params::Parameter& parameter, T& target) {
    return command.add_option(OptionName(parameter), target, HelpOf(parameter))
        ->check(DeclaredRange(parameter));
}

}  // namespace

CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, int& target) {
    return Add(command, parameter, target);
}
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, double& target) {
    return Add(command, parameter, target);
}
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, std::uint64_t& target) {
    return Add(command, parameter, target);
}
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, std::string& target) {
    std::vector<std::string> choices(parameter.choices.begin(), parameter.choices.end());
    return command.add_option(OptionName(parameter), target, HelpOf(parameter))
        ->check(CLI::IsMember(choices));
}

CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter,
                         std::vector<std::string>& target) {
    return command.add_option(OptionName(parameter), target, HelpOf(parameter))->expected(1, -1);
}

CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, bool& target) {
    const std::vector<std::string> words(parameter.choices.begin(), parameter.choices.end());
    return command
        .add_option_function<std::string>(
            OptionName(parameter), [&target, &parameter](const std::string& word) {
                target = params::ChoiceIndex(parameter, word) == 1;
            },
            HelpOf(parameter))
        ->check(CLI::IsMember(words));
}

}  // namespace quarnel::cli
