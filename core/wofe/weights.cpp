// Each layer's weights table and its generalisation.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "quarnel/wofe.h"

namespace quarnel::wofe {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

const char* kRuleNames[] = {"max-contrast", "max-significant-contrast", "max-studentized", "value", "none"};

}  // namespace

std::string TypeName(Type type) {
    switch (type) {
        case Type::ascending:
            return "ascending";
        case Type::descending:
            return "descending";
        case Type::categorical:
            break;
    }
    return "categorical";
}

std::optional<Type> TypeOf(const std::string& word) {
    for (const Type type : {Type::categorical, Type::ascending, Type::descending})
        if (word == TypeName(type)) return type;
    return std::nullopt;
}

std::string RuleName(const Generalization& rule) {
    if (rule.rule == Rule::value) return "value:" + std::to_string(rule.value);
    return kRuleNames[int(rule.rule)];
}

std::optional<Generalization> RuleOf(const std::string& word, double minStudentized) {
    Generalization rule;
    rule.minStudentized = minStudentized;
    if (word.rfind("value:", 0) == 0) {
        const std::string number = word.substr(6);
        std::size_t used = 0;
        try {
            rule.value = std::stoll(number, &used);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (used != number.size()) return std::nullopt;
        rule.rule = Rule::value;
        return rule;
    }
    for (int r = 0; r < 5; ++r)
        if (r != int(Rule::value) && word == kRuleNames[r]) {
            rule.rule = Rule(r);
            return rule;
        }
    return std::nullopt;
}

Weights Weigh(double b, double d, double S, double N) {
    Weights w;
    if (d > 0) {
        w.wPlus = std::log((d / N) / ((b - d) / (S - N)));
        w.sWPlus = std::sqrt(1 / d + 1 / (b - d));
    }
    if (d < N) {
        w.wMinus = std::log(((N - d) / N) / ((S - b - N + d) / (S - N)));
        w.sWMinus = std::sqrt(1 / (N - d) + 1 / (S - b - N + d));
    }
    if (w.wPlus && w.wMinus) {
        w.contrast = *w.wPlus - *w.wMinus;
        w.sContrast = std::sqrt(*w.sWPlus * *w.sWPlus + *w.sWMinus * *w.sWMinus);
        w.studentized = *w.contrast / *w.sContrast;
    } else {
        w.note = d > 0 ? "every deposit lies here: W- and the contrast are undefined"
                       : "no deposit lies here: W+ and the contrast are undefined";
    }
    return w;
}

int LayerWeights::GeneralIndex(std::int64_t value) const {
    const auto at = std::lower_bound(rows.begin(), rows.end(), value,
                                     [](const ClassRow& r, std::int64_t v) { return r.value < v; });
    if (at == rows.end() || at->value != value || classes.empty()) return -1;
    return generalIndex[std::size_t(at - rows.begin())];
}

namespace {

// The counts as the table's rows (the layer's own classes, ascending), refusing what the
// formulas cannot take; fills S, N and the missing classes.
std::vector<ClassRow> OwnRows(LayerWeights& layer, std::span<const ClassCount> counts, double unitsPerCell) {
    if (counts.size() > kMaxClasses)
        throw WofeError(layer.name + ": " + std::to_string(counts.size()) + " classes; at most " +
                        std::to_string(kMaxClasses) + " are taken (class a continuous layer with breaks)");
    std::vector<ClassRow> rows;
    for (const ClassCount& count : counts) {
        if (count.missing) {
            layer.missing.push_back(count);
            continue;
        }
        const double area = double(count.cells) * unitsPerCell;
        if (double(count.deposits) >= area)
            throw WofeError(layer.name + ": class " + std::to_string(count.value) + ": its " +
                            std::to_string(count.deposits) + " deposits fill its area of " + Number(area) +
                            " unit cells; choose a smaller unit area");
        rows.push_back({count.value, count.cells, area, count.deposits, {}, {}, {}, {}});
        layer.knownArea += area;
        layer.knownDeposits += count.deposits;
    }
    std::sort(rows.begin(), rows.end(),
              [](const ClassRow& a, const ClassRow& b) { return a.value < b.value; });
    for (std::size_t i = 1; i < rows.size(); ++i)
        if (rows[i].value == rows[i - 1].value)
            throw WofeError(layer.name + ": class " + std::to_string(rows[i].value) + " counted twice");
    if (layer.knownDeposits == 0) throw WofeError(layer.name + ": no deposit lies on a known class");
    return rows;
}

// The rows summed up to each class: ascending from the lowest value, descending from the highest.
void Accumulate(std::vector<ClassRow>& rows, Type type) {
    if (type == Type::categorical) return;
    const auto add = [](ClassRow& into, const ClassRow& from) {
        into.cells += from.cells;
        into.area += from.area;
        into.deposits += from.deposits;
    };
    if (type == Type::ascending)
        for (std::size_t i = 1; i < rows.size(); ++i) add(rows[i], rows[i - 1]);
    else
        for (std::size_t i = rows.size() - 1; i-- > 0;) add(rows[i], rows[i + 1]);
}

// The row a cumulative rule picks, or unset with the reason.
std::optional<std::size_t> ChooseRow(const std::vector<ClassRow>& rows, const Generalization& rule,
                                     std::string& reason) {
    const double z = rule.minStudentized;
    std::optional<std::size_t> best;
    const auto better = [&](std::size_t i, auto key) { return !best || key(rows[i]) > key(rows[*best]); };
    const auto contrast = [](const ClassRow& row) { return *row.weights.contrast; };
    const auto studentized = [](const ClassRow& row) { return *row.weights.studentized; };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Weights& w = rows[i].weights;
        switch (rule.rule) {
            case Rule::value:
                if (rows[i].value == rule.value) {
                    if (!w.contrast) {
                        reason = "the row of class " + std::to_string(rule.value) + " has no contrast (" +
                                 w.note + ")";
                        return std::nullopt;
                    }
                    return i;
                }
                break;
            case Rule::maxSignificantContrast:
                if (w.contrast && *w.studentized >= z && better(i, contrast)) best = i;
                break;
            case Rule::maxContrast:
                if (w.contrast && better(i, contrast)) best = i;
                break;
            case Rule::maxStudentized:
                if (w.contrast && better(i, studentized)) best = i;
                break;
            case Rule::none:
                break;
        }
    }
    if (rule.rule == Rule::value) {
        reason = "no class " + std::to_string(rule.value) + " in the layer";
        return std::nullopt;
    }
    if (!best) {
        reason = rule.rule == Rule::maxSignificantContrast
                     ? "no row's studentised contrast reaches " + Number(z)
                     : std::string("no row has a contrast");
        return std::nullopt;
    }
    if (rule.rule == Rule::maxContrast && *rows[*best].weights.studentized < z) {
        reason = "the largest contrast's studentised contrast " + Number(*rows[*best].weights.studentized) +
                 " is below " + Number(z);
        return std::nullopt;
    }
    return best;
}

void SplitInTwo(LayerWeights& layer, const Generalization& rule) {
    const std::optional<std::size_t> chosen = ChooseRow(layer.rows, rule, layer.reason);
    if (!chosen) return;
    const ClassRow& row = layer.rows[*chosen];
    layer.row = row.value;
    layer.classes = {{2, row.area, row.deposits, *row.weights.wPlus, *row.weights.sWPlus},
                     {1, layer.knownArea - row.area, layer.knownDeposits - row.deposits, *row.weights.wMinus,
                      *row.weights.sWMinus}};
    for (std::size_t i = 0; i < layer.rows.size(); ++i) {
        const bool upTo = layer.type == Type::ascending ? i <= *chosen : i >= *chosen;
        layer.generalIndex[i] = upTo ? 0 : 1;
    }
    layer.ok = true;
}

// Categorical: every class its own W+ (none), or the classes short of Z pooled into one.
void PoolClasses(LayerWeights& layer, const Generalization& rule) {
    std::vector<std::size_t> pooled;
    const double S = layer.knownArea;
    const double N = double(layer.knownDeposits);
    for (std::size_t i = 0; i < layer.rows.size(); ++i) {
        const ClassRow& row = layer.rows[i];
        const Weights& w = row.weights;
        const bool keep =
            rule.rule == Rule::none || (w.studentized && std::abs(*w.studentized) >= rule.minStudentized);
        if (!keep) {
            pooled.push_back(i);
            continue;
        }
        if (!w.wPlus) {
            layer.reason = "class " + std::to_string(row.value) + " has no weight (" + w.note + ")";
            return;
        }
        layer.generalIndex[i] = int(layer.classes.size());
        layer.classes.push_back({row.value, row.area, row.deposits, *w.wPlus, *w.sWPlus});
    }
    if (!pooled.empty()) {
        GeneralClass pool{layer.rows[pooled.front()].value, 0, 0, 0, 0};
        for (const std::size_t i : pooled) {
            pool.area += layer.rows[i].area;
            pool.deposits += layer.rows[i].deposits;
            layer.generalIndex[i] = int(layer.classes.size());
        }
        const Weights w = Weigh(pool.area, double(pool.deposits), S, N);
        if (!w.wPlus) {
            layer.reason = "the pooled classes hold no deposit: their weight is undefined";
            layer.classes.clear();
            return;
        }
        pool.weight = *w.wPlus;
        pool.weightStd = *w.sWPlus;
        layer.classes.push_back(pool);
    }
    layer.ok = true;
}

}  // namespace

LayerWeights WeighLayer(const std::string& name, Type type, std::span<const ClassCount> counts,
                        double unitsPerCell, const Generalization& rule) {
    LayerWeights layer;
    layer.name = name;
    layer.type = type;
    layer.method = type == Type::categorical ? (rule.rule == Rule::none ? "none" : "pooled") : RuleName(rule);
    layer.rows = OwnRows(layer, counts, unitsPerCell);
    if (type != Type::categorical && rule.rule == Rule::none)
        throw WofeError(name + ": the rule none applies to categorical layers only");
    Accumulate(layer.rows, type);
    for (ClassRow& row : layer.rows)
        row.weights = Weigh(row.area, double(row.deposits), layer.knownArea, double(layer.knownDeposits));
    layer.generalIndex.assign(layer.rows.size(), -1);
    if (type == Type::categorical)
        PoolClasses(layer, rule);
    else
        SplitInTwo(layer, rule);
    if (!layer.ok) {
        layer.classes.clear();
        layer.generalIndex.assign(layer.rows.size(), -1);
        return layer;
    }
    for (std::size_t i = 0; i < layer.rows.size(); ++i) {
        const GeneralClass& general = layer.classes[std::size_t(layer.generalIndex[i])];
        layer.rows[i].generalizedClass = general.id;
        layer.rows[i].weight = general.weight;
        layer.rows[i].weightStd = general.weightStd;
    }
    return layer;
}

}  // namespace quarnel::wofe
