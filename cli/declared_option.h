#pragma once
// Command options made from the parameters' declarations (include/quarnel/parameters.h), so that
// a command, the workflow file and Python name a parameter alike and share its default: the
// option is --NAME with '-' for '_', its help is the declaration's help with unit, range and
// default, and CLI11 refuses a value outside the declared range with the declaration's own words.
#include <cstdint>
#include <string>
#include <vector>

#include "quarnel/parameters.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace quarnel::cli {

// A number the command holds in target (its default stays target's value, which the caller takes
// from the declaration or from what the declaration's fallback words describe).
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, int& target);
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, double& target);
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, std::uint64_t& target);
// A choice, held as its word; any other word is refused with the choices.
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, std::string& target);
// Names (Kind::names), one or more after the option.
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter,
                         std::vector<std::string>& target);
// A choice of two (Kind::choice): target is whether the second was chosen.
CLI::Option* AddDeclared(CLI::App& command, const params::Parameter& parameter, bool& target);

}  // namespace quarnel::cli
