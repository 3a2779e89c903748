// The tables a logistic fit takes: samples pooled by their condition, and layers of classes as
// indicator inputs.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string_view>
#include <unordered_set>

#include "quarnel/logistic.h"

namespace quarnel::logistic {

// Row numbers of the table, hashed and compared by the bytes of their values, so a row is found
// without a copy of its key.
struct Pool::Index {
    struct Hash {
        const Pool* pool;
        std::size_t operator()(std::size_t row) const {
            const double* at = pool->table_.x.data() + row * pool->inputs_;
            return std::hash<std::string_view>()(
                std::string_view(reinterpret_cast<const char*>(at), pool->inputs_ * sizeof(double)));
        }
    };
    struct Equal {
        const Pool* pool;
        bool operator()(std::size_t a, std::size_t b) const {
            const double* x = pool->table_.x.data();
            return std::memcmp(x + a * pool->inputs_, x + b * pool->inputs_, pool->inputs_ * sizeof(double)) == 0;
        }
    };
    explicit Index(const Pool* pool) : rows(64, Hash{pool}, Equal{pool}) {}
    std::unordered_set<std::size_t, Hash, Equal> rows;
};

Pool::Pool(std::size_t inputs, std::size_t maxRows)
    : inputs_(inputs), maxRows_(maxRows), index_(std::make_unique<Index>(this)) {}
Pool::~Pool() = default;

void Pool::Add(const double* values, bool one) {
    // The values go in as a new row; when the row is there already, they come out again.
    const std::size_t row = table_.Rows();
    // + 0.0 makes -0 the 0 it equals, so the two are one condition.
    for (std::size_t j = 0; j < inputs_; ++j) table_.x.push_back(values[j] + 0.0);
    const auto [at, added] = index_->rows.insert(row);
    if (!added) {
        table_.x.resize(row * inputs_);
        (one ? table_.ones : table_.zeros)[*at] += 1;
        return;
    }
    if (row >= maxRows_) {
        index_->rows.erase(at);
        table_.x.resize(row * inputs_);
        throw std::length_error("more than " + std::to_string(maxRows_) +
                                " distinct conditions (rows of input values)");
    }
    table_.ones.push_back(one ? 1 : 0);
    table_.zeros.push_back(one ? 0 : 1);
}

std::size_t Pool::Rows() const {
    return table_.Rows();
}

Table Pool::Take() && {
    index_->rows.clear();
    return std::move(table_);
}

std::string ClassText(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) return std::to_string(std::int64_t(value));
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    return std::string(text, end);
}

ClassGathering::ClassGathering(std::vector<std::string> layers, const std::vector<std::string>& categorical)
    : layers_(std::move(layers)) {
    std::vector<bool> isClass(layers_.size(), false);
    for (const std::string& name : categorical) {
        const auto at = std::find(layers_.begin(), layers_.end(), name);
        if (at == layers_.end()) {
            std::string known;
            for (const std::string& layer : layers_) known += (known.empty() ? "" : ", ") + layer;
            throw std::invalid_argument("categorical: " + name + " is none of the layers (" + known + ")");
        }
        isClass[std::size_t(at - layers_.begin())] = true;
    }
    for (std::size_t j = 0; j < layers_.size(); ++j)
        if (isClass[j]) classLayers_.push_back(j);
    met_.resize(classLayers_.size());
}

void ClassGathering::Add(const double* layerValues) {
    for (std::size_t k = 0; k < classLayers_.size(); ++k) {
        std::set<double>& met = met_[k];
        met.insert(layerValues[classLayers_[k]]);
        if (met.size() > Columns::kMaxClasses)
            throw std::invalid_argument("categorical: " + layers_[classLayers_[k]] + " holds more than " +
                                        std::to_string(Columns::kMaxClasses) +
                                        " classes; is it a layer of classes?");
    }
}

Columns ClassGathering::Finish() && {
    std::vector<std::vector<double>> classes(layers_.size());
    for (std::size_t k = 0; k < classLayers_.size(); ++k) {
        const std::set<double>& met = met_[k];
        if (met.size() < 2)
            throw std::invalid_argument(
                "categorical: " + layers_[classLayers_[k]] + " holds " +
                (met.empty() ? "no class" : "one class only (" + ClassText(*met.begin()) + ")") +
                " among the samples, so it tells them nothing apart");
        classes[classLayers_[k]].assign(met.begin(), met.end());
    }
    return {layers_, std::move(classes)};
}

Columns::Columns(const std::vector<double>& x, const std::vector<std::string>& layers,
                 const std::vector<std::string>& categorical)
    : Columns(Gathered(x, layers, categorical)) {}

Columns Columns::Gathered(const std::vector<double>& x, const std::vector<std::string>& layers,
                          const std::vector<std::string>& categorical) {
    ClassGathering gathering(layers, categorical);
    if (!layers.empty())
        for (std::size_t at = 0; at + layers.size() <= x.size(); at += layers.size())
            gathering.Add(x.data() + at);
    return std::move(gathering).Finish();
}

Columns::Columns(const std::vector<std::string>& layers, std::vector<std::vector<double>> classes)
    : classes_(std::move(classes)) {
    if (classes_.size() != layers.size())
        throw std::invalid_argument(std::to_string(classes_.size()) + " lists of classes for " +
                                    std::to_string(layers.size()) + " layers");
    for (std::size_t j = 0; j < layers.size(); ++j) {
        std::sort(classes_[j].begin(), classes_[j].end());
        if (classes_[j].empty()) names_.push_back(layers[j]);
        for (std::size_t c = 1; c < classes_[j].size(); ++c)
            names_.push_back(layers[j] + "=" + ClassText(classes_[j][c]));
    }
}

bool Columns::Expand(const double* layerValues, double* inputs) const {
    for (std::size_t j = 0; j < classes_.size(); ++j) {
        const std::vector<double>& classes = classes_[j];
        if (classes.empty()) {
            *inputs++ = layerValues[j];
            continue;
        }
        const auto at = std::lower_bound(classes.begin(), classes.end(), layerValues[j]);
        if (at == classes.end() || *at != layerValues[j]) return false;
        std::fill(inputs, inputs + classes.size() - 1, 0.0);
        if (at != classes.begin()) inputs[at - classes.begin() - 1] = 1;
        inputs += classes.size() - 1;
    }
    return true;
}

Table Columns::Expanded(const Table& layerTable) const {
    Table table;
    table.ones = layerTable.ones;
    table.zeros = layerTable.zeros;
    table.x.resize(layerTable.Rows() * Inputs());
    for (std::size_t r = 0; r < layerTable.Rows(); ++r)
        if (!Expand(layerTable.x.data() + r * Layers(), table.x.data() + r * Inputs()))
            throw std::invalid_argument("a sample holds a class its layer's columns were not made with");
    return table;
}

}  // namespace quarnel::logistic
