#include "cli/workflow.h"

#include <toml++/toml.h>

#include <algorithm>
#include <set>

namespace quarnel::cli {

namespace {

// One table of the file: its values by key, each key looked up at most once, and Finish
// refusing every key nobody asked for.
class Section {
  public:
    Section(const toml::table& table, std::string path, const std::filesystem::path& file)
        : table_(table), path_(std::move(path)), file_(file) {}

    [[noreturn]] void Fail(const std::string& key, const toml::source_region& where,
                           const std::string& what) const {
        throw WorkflowError(file_.string() + ":" + std::to_string(where.begin.line) + ": " + Key(key) + ": " +
                            what);
    }

    const toml::node* Find(const std::string& key) {
        asked_.insert(key);
        return table_.get(key);
    }

    std::string Text(const std::string& key, std::optional<std::string> fallback = std::nullopt) {
        const toml::node* node = Find(key);
        if (node == nullptr) {
            if (fallback) return *fallback;
            Fail(key, table_.source(), "missing");
        }
        if (!node->is_string()) Fail(key, node->source(), "not a string");
        return node->value<std::string>().value();
    }

    std::filesystem::path Path(const std::string& key) {
        const std::filesystem::path path = Text(key);
        return path.is_absolute() ? path : file_.parent_path() / path;
    }

    double Number(const std::string& key, double fallback, double low, double high) {
        const toml::node* node = Find(key);
        if (node == nullptr) return fallback;
        if (!node->is_number()) Fail(key, node->source(), "not a number");
        const double v = node->value<double>().value();
        if (!(v >= low && v <= high))
            Fail(key, node->source(), "must lie between " + Format(low) + " and " + Format(high));
        return v;
    }

    int Integer(const std::string& key, int fallback, int low, int high) {
        const toml::node* node = Find(key);
        if (node == nullptr) return fallback;
        if (!node->is_integer()) Fail(key, node->source(), "not a whole number");
        const std::int64_t v = node->value<std::int64_t>().value();
        if (v < low || v > high)
            Fail(key, node->source(), "must lie between " + Format(low) + " and " + Format(high));
        return static_cast<int>(v);
    }

    bool Flag(const std::string& key, bool fallback) {
        const toml::node* node = Find(key);
        if (node == nullptr) return fallback;
        if (!node->is_boolean()) Fail(key, node->source(), "not true or false");
        return node->value<bool>().value();
    }

    template <class T>
    T Choice(const std::string& key, T fallback, const std::vector<std::pair<std::string, T>>& choices) {
        const toml::node* node = Find(key);
        if (node == nullptr) return fallback;
        const std::optional<std::string> word = node->value<std::string>();
        std::string names;
        for (const auto& [name, value] : choices) {
            if (word == name) return value;
            names += (names.empty() ? "" : ", ") + name;
        }
        Fail(key, node->source(), "must be one of " + names);
    }

    // The tables of an array of tables (or of an inline array of tables).
    std::vector<Section> Tables(const std::string& key, bool required) {
        std::vector<Section> sections;
        const toml::node* node = Find(key);
        if (node == nullptr) {
            if (required) Fail(key, table_.source(), "missing");
            return sections;
        }
        const toml::array* array = node->as_array();
        if (array == nullptr) Fail(key, node->source(), "not an array of tables");
        for (std::size_t i = 0; i < array->size(); ++i) {
            const toml::table* table = (*array)[i].as_table();
            if (table == nullptr) Fail(key, (*array)[i].source(), "not a table");
            sections.emplace_back(*table, Key(key) + "[" + std::to_string(i + 1) + "]", file_);
        }
        return sections;
    }

    std::optional<Section> Table(const std::string& key) {
        const toml::node* node = Find(key);
        if (node == nullptr) return std::nullopt;
        if (!node->is_table()) Fail(key, node->source(), "not a table");
        return Section(*node->as_table(), Key(key), file_);
    }

    std::vector<std::string> Words(const std::string& key) {
        std::vector<std::string> words;
        const toml::node* node = Find(key);
        if (node == nullptr) return words;
        const toml::array* array = node->as_array();
        if (array == nullptr) Fail(key, node->source(), "not an array of names");
        for (const toml::node& item : *array) {
            if (!item.is_string()) Fail(key, item.source(), "not an array of names");
            words.push_back(item.value<std::string>().value());
        }
        return words;
    }

    void Finish() const {
        for (const auto& [key, node] : table_)
            if (!asked_.contains(std::string(key.str())))
                Fail(std::string(key.str()), node.source(), "not a key of the workflow format");
    }

    const toml::source_region& source() const { return table_.source(); }
    std::string Key(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

  private:
    static std::string Format(double v) {
        std::string text = std::to_string(v);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
        return text;
    }

    const toml::table& table_;
    std::string path_;
    std::filesystem::path file_;
    std::set<std::string> asked_;
};

constexpr float kFloatLimit = 3.4e38f;

WorkflowLayer ReadLayer(Section& section) {
    WorkflowLayer layer;
    layer.name = section.Text("name");
    layer.raster = section.Path("raster");
    layer.prepare = section.Choice<Preparation>("prepare", Preparation::classes,
                                                {{"classes", Preparation::classes},
                                                 {"normalize", Preparation::normalize},
                                                 {"code", Preparation::code},
                                                 {"window-mean", Preparation::windowMean},
                                                 {"window-deviation", Preparation::windowDeviation}});
    const bool code = layer.prepare == Preparation::code;
    const bool window =
        layer.prepare == Preparation::windowMean || layer.prepare == Preparation::windowDeviation;
    if (code) {
        layer.lower = float(section.Number("lower", 0, -kFloatLimit, kFloatLimit));
        layer.upper = float(section.Number("upper", 0, -kFloatLimit, kFloatLimit));
        layer.invert = section.Flag("invert", false);
    }
    if (window) layer.window = section.Integer("window", 5, 1, 1 << 20);
    section.Finish();
    return layer;
}

WorkflowBp ReadBp(Section& section) {
    WorkflowBp bp;
    bp.layers = section.Words("layers");
    bp.hidden = section.Integer("hidden", -1, 1, 1000);
    bp.maxIterations = section.Integer("max_iterations", 1000, 0, 100000000);
    bp.errorLimit = section.Number("error_limit", 0.01, 0, 1e300);
    bp.background = section.Integer("background", -1, 1, 100000000);
    bp.seed = std::uint32_t(section.Integer("seed", 1, 0, 2147483647));
    bp.minDistance = section.Number("min_distance", 0, 0, 1e300);
    section.Finish();
    return bp;
}

WorkflowHierarchy ReadHierarchy(Section& section) {
    WorkflowHierarchy hierarchy;
    std::set<int> seen;
    for (Section& levelSection : section.Tables("levels", true)) {
        WorkflowLevel level;
        level.level = levelSection.Choice<int>(
            "level", -1, {{"geology", 0}, {"geophysics", 1}, {"geochemistry", 2}, {"remote-sensing", 3}});
        if (level.level < 0) levelSection.Fail("level", levelSection.source(), "missing");
        if (!seen.insert(level.level).second)
            levelSection.Fail("level", levelSection.source(), "named twice");
        level.importance = float(levelSection.Number("importance", 1, 1e-30, kFloatLimit));
        for (Section& elementSection : levelSection.Tables("elements", true)) {
            WorkflowElement element;
            element.layer = elementSection.Text("layer");
            element.importance = float(elementSection.Number("importance", 1, 1e-30, kFloatLimit));
            elementSection.Finish();
            level.elements.push_back(element);
        }
        if (level.elements.empty() || level.elements.size() > 10)
            levelSection.Fail("elements", levelSection.source(), "a level holds 1 to 10 elements");
        levelSection.Finish();
        hierarchy.levels.push_back(level);
    }
    if (hierarchy.levels.empty()) section.Fail("levels", section.source(), "no level");
    std::sort(hierarchy.levels.begin(), hierarchy.levels.end(),
              [](const WorkflowLevel& a, const WorkflowLevel& b) { return a.level < b.level; });
    section.Finish();
    return hierarchy;
}

WorkflowFeature ReadFeature(Section& section) {
    WorkflowFeature feature;
    feature.method = section.Choice<int>("method", 0, {{"vector-length", 0}, {"principal-component", 1}});
    feature.modelUnits = section.Flag("model_units", true);
    for (Section& variableSection : section.Tables("variables", true)) {
        WorkflowVariable variable;
        variable.layer = variableSection.Text("layer");
        variable.lower = float(variableSection.Number("lower", 0, -kFloatLimit, kFloatLimit));
        variable.upper = float(variableSection.Number("upper", 0, -kFloatLimit, kFloatLimit));
        variableSection.Finish();
        feature.variables.push_back(variable);
    }
    if (feature.variables.empty() || feature.variables.size() > 50)
        section.Fail("variables", section.source(), "feature analysis takes 1 to 50 variables");
    section.Finish();
    return feature;
}

// Every layer a method names exists.
void CheckLayerNames(const Workflow& workflow) {
    std::vector<std::string> named;
    if (workflow.bp) named.insert(named.end(), workflow.bp->layers.begin(), workflow.bp->layers.end());
    if (workflow.hierarchy)
        for (const WorkflowLevel& level : workflow.hierarchy->levels)
            for (const WorkflowElement& element : level.elements) named.push_back(element.layer);
    if (workflow.feature)
        for (const WorkflowVariable& variable : workflow.feature->variables) named.push_back(variable.layer);
    for (const std::string& name : named) workflow.Layer(name);
}

}  // namespace

const WorkflowLayer& Workflow::Layer(const std::string& name) const {
    for (const WorkflowLayer& layer : layers)
        if (layer.name == name) return layer;
    throw WorkflowError(file.string() + ": no layer named \"" + name + "\"");
}

Workflow ReadWorkflow(const std::filesystem::path& file) {
    toml::table root;
    try {
        root = toml::parse_file(file.string());
    } catch (const toml::parse_error& error) {
        throw WorkflowError(file.string() + ":" + std::to_string(error.source().begin.line) + ": " +
                            std::string(error.description()));
    }
    Workflow workflow;
    workflow.file = file;
    Section top(root, "", file);
    workflow.output = top.Path("output");
    std::set<std::string> names;
    for (Section& section : top.Tables("layers", true)) {
        workflow.layers.push_back(ReadLayer(section));
        if (!names.insert(workflow.layers.back().name).second)
            section.Fail("name", section.source(),
                         "a second layer named \"" + workflow.layers.back().name + "\"");
    }
    if (auto section = top.Table("deposits")) {
        WorkflowDeposits deposits;
        deposits.path = section->Path("path");
        deposits.xColumn = section->Text("x_column", "");
        deposits.yColumn = section->Text("y_column", "");
        deposits.crs = section->Text("crs", "");
        section->Finish();
        workflow.deposits = deposits;
    }
    if (auto section = top.Table("bp")) workflow.bp = ReadBp(*section);
    if (auto section = top.Table("hierarchy")) workflow.hierarchy = ReadHierarchy(*section);
    if (auto section = top.Table("feature")) workflow.feature = ReadFeature(*section);
    top.Finish();
    if ((workflow.bp || (workflow.feature && workflow.feature->modelUnits)) && !workflow.deposits)
        throw WorkflowError(file.string() + ": deposits: missing (BP training and model units need them)");
    CheckLayerNames(workflow);
    return workflow;
}

}  // namespace quarnel::cli
