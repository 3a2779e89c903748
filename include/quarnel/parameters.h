#pragma once
// Every method's parameters, declared once as data: name, kind, unit, range, default and help.
// The workflow file's keys and their checks, the host's `params` listing, the Python keyword
// checks and the documentation's tables are all made from these declarations, and each method's
// request (include/quarnel/requests.h) takes its defaults from them, so a parameter has one name
// and one default in every door. A name is the workflow key and the Python keyword; a command
// option spells it with '-' for '_' (max_iterations: --max-iterations).
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quarnel::params {

enum class Kind { integer, number, flag, choice, text, path, names, tables };

struct Parameter {
    std::string_view name;
    Kind kind = Kind::number;
    std::string_view unit;  // empty: none
    double low = 0;         // integer and number: the accepted range, both ends included
    double high = 0;
    double value = 0;  // the default: the number, the flag (0, 1) or the choice's index
    // The default in words where it is no fixed value ("inputs + 1"); "required" for a key that
    // must be given. Empty: the default is `value`.
    std::string_view fallback;
    std::string_view help;
    std::span<const std::string_view> choices = {};

    bool Required() const { return fallback == "required"; }
};

// One method, or one table of a method's settings, as the workflow file holds it.
struct Method {
    std::string_view name;   // "bp", "hierarchy.levels", ...: the workflow table
    std::string_view title;  // for the documentation
    std::span<const Parameter* const> parameters;
};

std::span<const Method> Methods();
// nullptr when no method or parameter has the name.
const Method* FindMethod(std::string_view name);
const Parameter* FindParameter(const Method& method, std::string_view name);

// A number as plain decimal text: the shortest that reads back, never in exponent notation for
// the values the declarations hold (1000000 rather than 1e+06).
std::string PlainNumber(double value);
// The default as the documentation shows it: the fallback words, the number, true or false, or
// the choice.
std::string DefaultText(const Parameter& parameter);
// The accepted values in words: "1 to 1000", "one of classes, normalize", "true or false".
std::string RangeText(const Parameter& parameter);

// Why value is refused for the parameter ("must lie between 1 and 1000", "must be a whole
// number"); empty when it is accepted.
std::string CheckNumber(const Parameter& parameter, double value);
// The index of word among the parameter's choices, or -1.
int ChoiceIndex(const Parameter& parameter, std::string_view word);

// The method's parameters as a Markdown table: name, kind, unit, range, default, meaning.
std::string MarkdownTable(const Method& method);
// Every method's table under a "#### title (`[name]`)" heading.
std::string MarkdownTables();

}  // namespace quarnel::params
