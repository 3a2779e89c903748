#include "workflow/reader.h"

#include <toml++/toml.h>

#include <algorithm>
#include <set>
#include <stdexcept>

#include "quarnel/fuzzy.h"

namespace quarnel::workflow {

namespace {

namespace fs = std::filesystem;
using params::Kind;
using params::Parameter;

// One table of the file: its values by the declared parameters, each key looked up at most
// once, and Finish refusing every key nobody asked for.
class Section {
  public:
    Section(const toml::table& table, std::string path, Workflow& workflow)
        : table_(table), path_(std::move(path)), workflow_(workflow) {}

    [[noreturn]] void Fail(std::string_view key, const toml::source_region& where,
                           const std::string& what) const {
        throw WorkflowError(workflow_.file.string() + ":" + std::to_string(where.begin.line) + ": " +
                            Key(key) + ": " + what);
    }

    const toml::node* Find(const Parameter& parameter) {
        asked_.insert(std::string(parameter.name));
        const toml::node* node = table_.get(parameter.name);
        if (node != nullptr)
            workflow_.lines[Key(parameter.name)] = int(node->source().begin.line);
        else if (parameter.Required())
            Fail(parameter.name, table_.source(), "missing");
        return node;
    }

    std::string Text(const Parameter& parameter) {
        const toml::node* node = Find(parameter);
        if (node == nullptr) return {};
        if (!node->is_string()) Fail(parameter.name, node->source(), "not a string");
        std::string text = node->value<std::string>().value();
        if (text.empty()) Fail(parameter.name, node->source(), "empty");
        return text;
    }

    std::string PlainName(const Parameter& parameter) {
        std::string name = Text(parameter);
        if (!name.empty() && !IsPlainName(name))
            Fail(parameter.name, table_.get(parameter.name)->source(),
                 "\"" + name + "\" is not a plain name (1 to 64 letters, digits, '_' and '-')");
        return name;
    }

    std::string Path(const Parameter& parameter) {
        const fs::path path = Text(parameter);
        if (path.empty()) return {};
        return (path.is_absolute() ? path : workflow_.file.parent_path() / path).lexically_normal().string();
    }

    std::optional<double> Number(const Parameter& parameter) {
        const toml::node* node = Find(parameter);
        if (node == nullptr) return std::nullopt;
        if (parameter.kind == Kind::integer ? !node->is_integer() : !node->is_number())
            Fail(parameter.name, node->source(),
                 parameter.kind == Kind::integer ? "not a whole number" : "not a number");
        const double v = node->value<double>().value();
        if (const std::string cause = params::CheckNumber(parameter, v); !cause.empty())
            Fail(parameter.name, node->source(), cause);
        return v;
    }

    bool Flag(const Parameter& parameter) {
        const toml::node* node = Find(parameter);
        if (node == nullptr) return parameter.value != 0;
        if (!node->is_boolean()) Fail(parameter.name, node->source(), "not true or false");
        return node->value<bool>().value();
    }

    int Choice(const Parameter& parameter) {
        const toml::node* node = Find(parameter);
        if (node == nullptr) return int(parameter.value);
        const int index = params::ChoiceIndex(parameter, node->value<std::string>().value_or(""));
        if (index < 0) Fail(parameter.name, node->source(), "must be " + params::RangeText(parameter));
        return index;
    }

    // The tables of an array of tables (or of an inline array of tables), as many as declared.
    std::vector<Section> Tables(const Parameter& parameter) {
        std::vector<Section> sections;
        const toml::node* node = Find(parameter);
        if (node == nullptr) return sections;
        const toml::array* array = node->as_array();
        if (array == nullptr) Fail(parameter.name, node->source(), "not an array of tables");
        if (double(array->size()) < parameter.low || double(array->size()) > parameter.high)
            Fail(parameter.name, node->source(), "takes " + params::RangeText(parameter));
        for (std::size_t i = 0; i < array->size(); ++i) {
            const toml::table* table = (*array)[i].as_table();
            if (table == nullptr) Fail(parameter.name, (*array)[i].source(), "not a table");
            sections.emplace_back(*table, Key(parameter.name) + "[" + std::to_string(i + 1) + "]", workflow_);
        }
        return sections;
    }

    std::optional<Section> Table(std::string_view key) {
        asked_.insert(std::string(key));
        const toml::node* node = table_.get(key);
        if (node == nullptr) return std::nullopt;
        if (!node->is_table()) Fail(key, node->source(), "not a table");
        workflow_.lines[Key(key)] = int(node->source().begin.line);
        return Section(*node->as_table(), Key(key), workflow_);
    }

    std::vector<std::string> Names(const Parameter& parameter) {
        std::vector<std::string> names;
        const toml::node* node = Find(parameter);
        if (node == nullptr) return names;
        const toml::array* array = node->as_array();
        if (array == nullptr) Fail(parameter.name, node->source(), "not an array of names");
        for (const toml::node& item : *array) {
            if (!item.is_string()) Fail(parameter.name, item.source(), "not an array of names");
            names.push_back(item.value<std::string>().value());
        }
        return names;
    }

    void Finish() const {
        for (const auto& [key, node] : table_)
            if (!asked_.contains(std::string(key.str())))
                Fail(key.str(), node.source(),
                     "not a key of the workflow format (`quarnel params` lists them)");
    }

    const toml::source_region& source() const { return table_.source(); }
    std::string Key(std::string_view key) const {
        return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
    }

  private:
    const toml::table& table_;
    std::string path_;
    Workflow& workflow_;
    std::set<std::string> asked_;
};

namespace layer = params::layer;

params::LayerRequest ReadLayer(Section& section) {
    params::LayerRequest request;
    request.name = section.PlainName(layer::kName);
    request.raster = section.Path(layer::kRaster);
    request.prepare = params::Preparation(section.Choice(layer::kPrepare));
    if (request.prepare == params::Preparation::code) {
        request.lower = float(section.Number(layer::kLower).value_or(layer::kLower.value));
        request.upper = float(section.Number(layer::kUpper).value_or(layer::kUpper.value));
        request.invert = section.Flag(layer::kInvert);
    }
    if (request.prepare == params::Preparation::windowMean ||
        request.prepare == params::Preparation::windowDeviation)
        request.window = int(section.Number(layer::kWindow).value_or(layer::kWindow.value));
    section.Finish();
    return request;
}

params::DepositsRequest ReadDeposits(Section& section) {
    namespace d = params::deposits;
    params::DepositsRequest request;
    request.path = section.Path(d::kPath);
    request.xColumn = section.Text(d::kXColumn);
    request.yColumn = section.Text(d::kYColumn);
    request.crs = section.Text(d::kCrs);
    section.Finish();
    return request;
}

params::BpRequest ReadBp(Section& section) {
    namespace b = params::bp;
    params::BpRequest request;
    request.layers = section.Names(b::kLayers);
    if (const auto v = section.Number(b::kHidden)) request.hidden = int(*v);
    request.maxIterations = int(section.Number(b::kMaxIterations).value_or(b::kMaxIterations.value));
    request.errorLimit = section.Number(b::kErrorLimit).value_or(b::kErrorLimit.value);
    if (const auto v = section.Number(b::kBackground)) request.background = int(*v);
    request.seed = std::uint32_t(section.Number(b::kSeed).value_or(b::kSeed.value));
    request.minDistance = section.Number(b::kMinDistance).value_or(b::kMinDistance.value);
    request.shuffle = section.Flag(b::kShuffle);
    request.balance = section.Flag(b::kBalance);
    section.Finish();
    return request;
}

params::HierarchyRequest ReadHierarchy(Section& section) {
    namespace h = params::hierarchy;
    params::HierarchyRequest request;
    std::set<int> seen;
    for (Section& levelSection : section.Tables(h::kLevels)) {
        params::LevelRequest level;
        level.level = levelSection.Choice(h::kLevel);
        if (!seen.insert(level.level).second)
            levelSection.Fail("level", levelSection.source(), "named twice");
        level.importance = float(levelSection.Number(h::kImportance).value_or(h::kImportance.value));
        for (Section& elementSection : levelSection.Tables(h::kElements)) {
            params::ElementRequest element;
            element.layer = elementSection.Text(h::kLayer);
            element.importance = float(elementSection.Number(h::kImportance).value_or(h::kImportance.value));
            elementSection.Finish();
            level.elements.push_back(element);
        }
        levelSection.Finish();
        request.levels.push_back(level);
    }
    std::sort(request.levels.begin(), request.levels.end(),
              [](const params::LevelRequest& a, const params::LevelRequest& b) { return a.level < b.level; });
    section.Finish();
    return request;
}

params::FeatureRequest ReadFeature(Section& section) {
    namespace f = params::feature;
    params::FeatureRequest request;
    request.method = params::FeatureMethod(section.Choice(f::kMethod));
    request.modelUnits = section.Flag(f::kModelUnits);
    for (Section& variableSection : section.Tables(f::kVariables)) {
        params::VariableRequest variable;
        variable.layer = variableSection.Text(f::kLayer);
        variable.lower = float(variableSection.Number(f::kLower).value_or(f::kLower.value));
        variable.upper = float(variableSection.Number(f::kUpper).value_or(f::kUpper.value));
        variableSection.Finish();
        request.variables.push_back(variable);
    }
    section.Finish();
    return request;
}

params::WofeRequest ReadWofe(Section& section) {
    namespace w = params::wofe;
    params::WofeRequest request;
    request.layers = section.Names(w::kLayers);
    request.unitArea = section.Text(w::kUnitArea);
    request.countCells = section.Choice(w::kCount) == 1;
    request.generalize = section.Text(w::kGeneralize);
    request.minStudentized = section.Number(w::kMinStudentized).value_or(w::kMinStudentized.value);
    request.mask = section.Path(w::kMask);
    for (Section& evidenceSection : section.Tables(w::kEvidence)) {
        params::WofeEvidenceRequest evidence;
        evidence.layer = evidenceSection.Text(w::kLayer);
        evidence.type = evidenceSection.Choice(w::kType);
        if (const auto v = evidenceSection.Number(w::kMissing)) evidence.missing = std::int64_t(*v);
        evidence.breaks = evidenceSection.Text(w::kBreaks);
        evidenceSection.Finish();
        request.evidence.push_back(evidence);
    }
    section.Finish();
    return request;
}

// An input's membership as the host spells it, checked as the host checks it.
std::string ReadMembership(Section& section) {
    namespace f = params::fuzzy;
    const int kind = section.Choice(f::kMembership);
    std::string rule(f::kMembershipChoices[std::size_t(kind)]);
    const auto number = [&](const Parameter& p) {
        return params::PlainNumber(section.Number(p).value_or(p.value));
    };
    if (rule == "linear") rule.append(":").append(number(f::kLow)).append(",").append(number(f::kHigh));
    if (rule == "large" || rule == "small" || rule == "gaussian") {
        rule.append(":").append(number(f::kMidpoint));
        if (const auto spread = section.Number(f::kSpread))
            rule.append(",").append(params::PlainNumber(*spread));
    }
    if (rule == "classes") rule.append(":").append(section.Text(f::kValues));
    try {
        fuzzy::ParseMembership(rule);
    } catch (const std::invalid_argument& error) {
        section.Fail(f::kMembership.name, section.source(), error.what());
    }
    return rule;
}

params::FuzzyRequest ReadFuzzy(Section& section) {
    namespace f = params::fuzzy;
    params::FuzzyRequest request;
    request.op = section.Choice(f::kOperator);
    request.gamma = section.Number(f::kGamma).value_or(f::kGamma.value);
    for (Section& input : section.Tables(f::kInputs)) {
        const std::string layer = input.Text(f::kLayer);
        request.inputs.push_back({layer, ReadMembership(input)});
        input.Finish();
    }
    section.Finish();
    return request;
}

params::LogisticRequest ReadLogistic(Section& section) {
    namespace l = params::logistic;
    params::LogisticRequest request;
    request.layers = section.Names(l::kLayers);
    request.categorical = section.Names(l::kCategorical);
    request.allCells = section.Choice(l::kSamples) == 1;
    if (const auto v = section.Number(l::kBackground)) request.background = int(*v);
    request.seed = std::uint32_t(section.Number(l::kSeed).value_or(l::kSeed.value));
    request.minDistance = section.Number(l::kMinDistance).value_or(l::kMinDistance.value);
    request.l2 = section.Number(l::kL2).value_or(l::kL2.value);
    request.maxIterations = int(section.Number(l::kMaxIterations).value_or(l::kMaxIterations.value));
    section.Finish();
    return request;
}

params::TreesRequest ReadTrees(Section& section) {
    namespace t = params::trees;
    params::TreesRequest request;
    request.layers = section.Names(t::kLayers);
    request.kind = section.Choice(t::kKind);
    request.trees = int(section.Number(t::kTrees).value_or(t::kTrees.value));
    request.depth = int(section.Number(t::kDepth).value_or(t::kDepth.value));
    request.learningRate = section.Number(t::kLearningRate).value_or(t::kLearningRate.value);
    request.subsample = section.Number(t::kSubsample).value_or(t::kSubsample.value);
    if (const auto v = section.Number(t::kBackground)) request.background = int(*v);
    request.seed = std::uint32_t(section.Number(t::kSeed).value_or(t::kSeed.value));
    request.minDistance = section.Number(t::kMinDistance).value_or(t::kMinDistance.value);
    if (const auto v = section.Number(t::kFolds)) request.folds = int(*v);
    section.Finish();
    return request;
}

params::ValidationRequest ReadValidation(Section& section) {
    namespace v = params::validation;
    params::ValidationRequest request;
    request.holdout = section.Number(v::kHoldout);
    request.seed = std::uint32_t(section.Number(v::kSeed).value_or(v::kSeed.value));
    request.blocks = section.Number(v::kBlocks);
    section.Finish();
    return request;
}

// Every layer a method names exists, and the deposits are there for the methods that need them.
void CheckReferences(const Workflow& workflow) {
    const auto check = [&](const std::string& key, const std::string& name) {
        for (const params::LayerRequest& layer : workflow.layers)
            if (layer.name == name) return;
        throw WorkflowError(workflow.Where(key) + "no layer named \"" + name + "\"");
    };
    if (workflow.bp)
        for (const std::string& name : workflow.bp->layers) check("bp.layers", name);
    if (workflow.hierarchy)
        for (std::size_t l = 0; l < workflow.hierarchy->levels.size(); ++l)
            for (std::size_t e = 0; e < workflow.hierarchy->levels[l].elements.size(); ++e)
                check("hierarchy.levels[" + std::to_string(l + 1) + "].elements[" + std::to_string(e + 1) +
                          "].layer",
                      workflow.hierarchy->levels[l].elements[e].layer);
    if (workflow.feature)
        for (std::size_t i = 0; i < workflow.feature->variables.size(); ++i)
            check("feature.variables[" + std::to_string(i + 1) + "].layer",
                  workflow.feature->variables[i].layer);
    if (workflow.wofe) {
        for (const std::string& name : workflow.wofe->layers) check("wofe.layers", name);
        for (std::size_t i = 0; i < workflow.wofe->evidence.size(); ++i)
            check("wofe.evidence[" + std::to_string(i + 1) + "].layer", workflow.wofe->evidence[i].layer);
    }
    if (workflow.fuzzy)
        for (std::size_t i = 0; i < workflow.fuzzy->inputs.size(); ++i)
            check("fuzzy.inputs[" + std::to_string(i + 1) + "].layer", workflow.fuzzy->inputs[i].layer);
    if (workflow.logistic) {
        for (const std::string& name : workflow.logistic->layers) check("logistic.layers", name);
        for (const std::string& name : workflow.logistic->categorical) check("logistic.categorical", name);
    }
    if (workflow.trees)
        for (const std::string& name : workflow.trees->layers) check("trees.layers", name);
    if (!workflow.deposits) {
        if (workflow.wofe) throw WorkflowError(workflow.Where("wofe") + "needs the [deposits]");
        if (workflow.logistic) throw WorkflowError(workflow.Where("logistic") + "needs the [deposits]");
        if (workflow.trees) throw WorkflowError(workflow.Where("trees") + "needs the [deposits]");
        if (workflow.bp) throw WorkflowError(workflow.Where("bp") + "needs the [deposits]");
        if (workflow.feature && workflow.feature->modelUnits)
            throw WorkflowError(workflow.Where("feature.model_units") + "needs the [deposits]");
        if (workflow.validation.holdout)
            throw WorkflowError(workflow.Where("validation.holdout") + "needs the [deposits]");
    }
}

}  // namespace

bool IsPlainName(const std::string& name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == '-';
    });
}

const params::LayerRequest& Workflow::Layer(const std::string& name) const {
    for (const params::LayerRequest& layer : layers)
        if (layer.name == name) return layer;
    throw WorkflowError(file.string() + ": no layer named \"" + name + "\"");
}

std::string Workflow::Where(const std::string& key) const {
    std::string where = file.string();
    if (const auto at = lines.find(key); at != lines.end())
        where.append(":").append(std::to_string(at->second));
    return where.append(": ").append(key).append(": ");
}

Workflow ReadWorkflow(const fs::path& file) {
    Workflow workflow;
    workflow.file = file;
    toml::table root;
    try {
        root = toml::parse_file(file.string());
    } catch (const toml::parse_error& error) {
        const auto line = error.source().begin.line;  // 0: the file could not be read at all
        throw WorkflowError(file.string() + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " +
                            std::string(error.description()));
    }
    Section top(root, "", workflow);
    workflow.output = top.Path(params::run::kOutput);
    std::set<std::string> names;
    for (Section& section : top.Tables(params::run::kLayers)) {
        params::LayerRequest layer = ReadLayer(section);
        if (!names.insert(layer.name).second)
            section.Fail("name", section.source(), "\"" + layer.name + "\" names two layers");
        workflow.layers.push_back(std::move(layer));
    }
    if (auto section = top.Table("deposits")) workflow.deposits = ReadDeposits(*section);
    if (auto section = top.Table("bp")) workflow.bp = ReadBp(*section);
    if (auto section = top.Table("hierarchy")) workflow.hierarchy = ReadHierarchy(*section);
    if (auto section = top.Table("feature")) workflow.feature = ReadFeature(*section);
    if (auto section = top.Table("wofe")) workflow.wofe = ReadWofe(*section);
    if (auto section = top.Table("fuzzy")) workflow.fuzzy = ReadFuzzy(*section);
    if (auto section = top.Table("logistic")) workflow.logistic = ReadLogistic(*section);
    if (auto section = top.Table("trees")) workflow.trees = ReadTrees(*section);
    if (auto section = top.Table("validation")) workflow.validation = ReadValidation(*section);
    top.Finish();
    CheckReferences(workflow);
    return workflow;
}

}  // namespace quarnel::workflow
