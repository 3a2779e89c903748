#include <charconv>
#include <cmath>

#include "quarnel/requests.h"

namespace quarnel::params {

namespace {

constexpr Method kMethods[] = {
    {"", "Workflow file", run::kAll},
    {"layers", "Evidence layers and their preparation (normalisation, coding, window statistics)",
     layer::kAll},
    {"deposits", "Deposits (samples, model units and validation)", deposits::kAll},
    {"bp", "BP network training and classification", bp::kAll},
    {"hierarchy", "Hierarchy analysis", hierarchy::kAll},
    {"hierarchy.levels", "Hierarchy analysis: a level", hierarchy::kLevelAll},
    {"hierarchy.levels.elements", "Hierarchy analysis: an element of a level", hierarchy::kElementAll},
    {"feature", "Feature analysis", feature::kAll},
    {"feature.variables", "Feature analysis: a variable", feature::kVariableAll},
    {"wofe", "Weights of evidence", wofe::kAll},
    {"wofe.evidence", "Weights of evidence: how a layer's classes are taken", wofe::kEvidenceAll},
    {"fuzzy", "Fuzzy overlay", fuzzy::kAll},
    {"fuzzy.inputs", "Fuzzy overlay: an input", fuzzy::kInputAll},
    {"logistic", "Logistic regression", logistic::kAll},
    {"trees", "Gradient-boosted trees and random forest", trees::kAll},
    {"validation", "Validation (evaluation and holdout)", validation::kAll},
};

const char* KindText(Kind kind) {
    switch (kind) {
        case Kind::integer:
            return "whole number";
        case Kind::number:
            return "number";
        case Kind::flag:
            return "true/false";
        case Kind::choice:
            return "word";
        case Kind::text:
            return "text";
        case Kind::path:
            return "path";
        case Kind::names:
            return "layer names";
        case Kind::tables:
            return "tables";
    }
    return "";
}

std::string Choices(const Parameter& parameter) {
    std::string text;
    for (const std::string_view choice : parameter.choices) {
        if (!text.empty()) text += ", ";
        text += choice;
    }
    return text;
}

}  // namespace

std::span<const Method> Methods() {
    return kMethods;
}

const Method* FindMethod(std::string_view name) {
    for (const Method& method : kMethods)
        if (method.name == name) return &method;
    return nullptr;
}

const Parameter* FindParameter(const Method& method, std::string_view name) {
    for (const Parameter* parameter : method.parameters)
        if (parameter->name == name) return parameter;
    return nullptr;
}

std::string PlainNumber(double value) {
    char text[400];
    // Fixed notation, shortest round trip: 1000000 rather than 1e+06, 0.001 rather than 1e-03.
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    if (end.ec != std::errc()) return "?";
    return {text, end.ptr};
}

std::string DefaultText(const Parameter& parameter) {
    if (!parameter.fallback.empty()) return std::string(parameter.fallback);
    switch (parameter.kind) {
        case Kind::flag:
            return parameter.value != 0 ? "true" : "false";
        case Kind::choice:
            return std::string(parameter.choices[std::size_t(parameter.value)]);
        default:
            return PlainNumber(parameter.value);
    }
}

std::string RangeText(const Parameter& parameter) {
    switch (parameter.kind) {
        case Kind::integer:
        case Kind::number:
            if (parameter.low <= -3e38) return "any";
            if (parameter.high >= 3e38) return PlainNumber(parameter.low) + " or more";
            return PlainNumber(parameter.low) + " to " + PlainNumber(parameter.high);
        case Kind::tables:
            return PlainNumber(parameter.low) + " to " + PlainNumber(parameter.high) + " tables";
        case Kind::flag:
            return "true or false";
        case Kind::choice:
            return "one of " + Choices(parameter);
        default:
            return "";
    }
}

std::string CheckNumber(const Parameter& parameter, double value) {
    if (parameter.kind == Kind::integer && value != std::floor(value)) return "must be a whole number";
    if (!(value >= parameter.low && value <= parameter.high)) {
        if (parameter.low <= -3e38) return "must be a finite number of float range";
        if (parameter.high >= 3e38) return "must be " + PlainNumber(parameter.low) + " or more";
        return "must lie between " + PlainNumber(parameter.low) + " and " + PlainNumber(parameter.high);
    }
    return {};
}

int ChoiceIndex(const Parameter& parameter, std::string_view word) {
    for (std::size_t i = 0; i < parameter.choices.size(); ++i)
        if (parameter.choices[i] == word) return int(i);
    return -1;
}

std::string MarkdownTable(const Method& method) {
    std::string table = "| key | kind | unit | accepted | default | meaning |\n|---|---|---|---|---|---|\n";
    for (const Parameter* p : method.parameters)
        table += "| `" + std::string(p->name) + "` | " + KindText(p->kind) + " | " + std::string(p->unit) +
                 " | " + RangeText(*p) + " | " + DefaultText(*p) + " | " + std::string(p->help) + " |\n";
    return table;
}

std::string MarkdownTables() {
    std::string text;
    for (const Method& method : kMethods) {
        text += "#### " + std::string(method.title);
        text += method.name.empty() ? " (top level)\n\n" : " (`[" + std::string(method.name) + "]`)\n\n";
        text += MarkdownTable(method) + "\n";
    }
    return text;
}

}  // namespace quarnel::params
