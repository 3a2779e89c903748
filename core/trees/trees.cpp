#include "quarnel/trees.h"

#include <xgboost/c_api.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <random>
#include <stdexcept>

namespace quarnel::trees {

namespace {

void Check(int code) {
    if (code != 0) throw std::runtime_error(std::string("XGBoost: ") + XGBGetLastError());
}

// Rows of float inputs as XGBoost's matrix, NaN missing.
class Matrix {
  public:
    Matrix(const float* values, std::size_t rows, std::size_t cols) {
        Check(XGDMatrixCreateFromMat(values, bst_ulong(rows), bst_ulong(cols), NAN, &handle_));
    }
    Matrix(const Matrix&) = delete;
    Matrix& operator=(const Matrix&) = delete;
    ~Matrix() { XGDMatrixFree(handle_); }
    DMatrixHandle get() const { return handle_; }

  private:
    DMatrixHandle handle_ = nullptr;
};

void RefuseBadSamples(const std::vector<double>& x, const std::vector<int>& y, std::size_t inputs) {
    if (y.empty() || inputs == 0 || x.size() != y.size() * inputs)
        throw std::invalid_argument(std::to_string(x.size()) + " input values for " +
                                    std::to_string(y.size()) + " samples of " + std::to_string(inputs) +
                                    " inputs");
    for (const double v : x)
        if (!std::isfinite(v)) throw std::invalid_argument("an input value is not finite");
    std::size_t ones = 0;
    for (const int t : y) {
        if (t != 0 && t != 1) throw std::invalid_argument("a target is neither 0 nor 1");
        ones += std::size_t(t);
    }
    if (ones == 0 || ones == y.size())
        throw std::invalid_argument("every sample is of one class (" + std::to_string(ones) + " of " +
                                    std::to_string(y.size()) + " are 1)");
}

void RefuseBadOptions(const Options& o) {
    if (o.trees < 1 || o.trees > 100000)
        throw std::invalid_argument("trees: " + std::to_string(o.trees) + " is not between 1 and 100000");
    if (o.depth < 1 || o.depth > 30)
        throw std::invalid_argument("depth: " + std::to_string(o.depth) + " is not between 1 and 30");
    if (!(o.learningRate > 0 && o.learningRate <= 1))
        throw std::invalid_argument("learning_rate: " + std::to_string(o.learningRate) +
                                    " is not above 0 and at most 1");
    if (!(o.subsample > 0 && o.subsample <= 1))
        throw std::invalid_argument("subsample: " + std::to_string(o.subsample) +
                                    " is not above 0 and at most 1");
}

// The shortest text that reads back as v.
std::string Text(double v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    return std::string(text, end);
}

// One thread and the histogram method: the same trees run to run. A forest is one round of
// parallel trees at learning rate 1, each split choosing among 80 % of the inputs.
std::vector<std::pair<std::string, std::string>> ParametersOf(const Options& o) {
    std::vector<std::pair<std::string, std::string>> p = {{"objective", "binary:logistic"},
                                                          {"tree_method", "hist"},
                                                          {"nthread", "1"},
                                                          {"seed", std::to_string(o.seed)},
                                                          {"max_depth", std::to_string(o.depth)},
                                                          {"subsample", Text(o.subsample)},
                                                          {"verbosity", "0"}};
    if (o.kind == Kind::forest) {
        p.push_back({"eta", "1"});
        p.push_back({"num_parallel_tree", std::to_string(o.trees)});
        p.push_back({"colsample_bynode", "0.8"});
    } else {
        p.push_back({"eta", Text(o.learningRate)});
    }
    return p;
}

// Boosting's rounds of one tree each; a forest is one round of all its trees.
int RoundsOf(const Options& o) {
    return o.kind == Kind::forest ? 1 : o.trees;
}

double Clamped(double p) {
    return std::clamp(p, 1e-15, 1 - 1e-15);
}

// The AUC as the Mann-Whitney statistic, tied probabilities sharing their mean rank.
std::optional<double> Auc(const std::vector<double>& p, const std::vector<int>& y) {
    std::vector<std::size_t> order(p.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
    double ones = 0, rankSum = 0;
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        while (j < order.size() && p[order[j]] == p[order[i]]) ++j;
        const double rank = (double(i) + double(j) + 1) / 2;  // ranks i+1..j
        for (std::size_t k = i; k < j; ++k)
            if (y[order[k]] == 1) {
                ones += 1;
                rankSum += rank;
            }
        i = j;
    }
    const double zeros = double(p.size()) - ones;
    if (ones == 0 || zeros == 0) return std::nullopt;
    return (rankSum - ones * (ones + 1) / 2) / (ones * zeros);
}

}  // namespace

Model::Model(void* booster, std::vector<std::string> names) : booster_(booster), names_(std::move(names)) {}

Model::Model(Model&& other) noexcept
    : booster_(std::exchange(other.booster_, nullptr)),
      names_(std::move(other.names_)),
      parameters_(std::move(other.parameters_)),
      rounds_(other.rounds_) {}

Model& Model::operator=(Model&& other) noexcept {
    if (this != &other) {
        if (booster_) XGBoosterFree(booster_);
        booster_ = std::exchange(other.booster_, nullptr);
        names_ = std::move(other.names_);
        parameters_ = std::move(other.parameters_);
        rounds_ = other.rounds_;
    }
    return *this;
}

Model::~Model() {
    if (booster_) XGBoosterFree(booster_);
}

Model Model::Train(const std::vector<double>& x, const std::vector<int>& y,
                   const std::vector<std::string>& names, const Options& options, const Progress& progress) {
    RefuseBadSamples(x, y, names.size());
    RefuseBadOptions(options);
    const std::vector<float> values(x.begin(), x.end());
    const Matrix samples(values.data(), y.size(), names.size());
    const std::vector<float> labels(y.begin(), y.end());
    Check(XGDMatrixSetFloatInfo(samples.get(), "label", labels.data(), bst_ulong(labels.size())));
    DMatrixHandle matrices[] = {samples.get()};
    BoosterHandle booster = nullptr;
    Check(XGBoosterCreate(matrices, 1, &booster));
    Model model(booster, names);
    model.parameters_ = ParametersOf(options);
    for (const auto& [name, value] : model.parameters_)
        Check(XGBoosterSetParam(booster, name.c_str(), value.c_str()));
    model.rounds_ = RoundsOf(options);
    for (int round = 0; round < model.rounds_; ++round) {
        Check(XGBoosterUpdateOneIter(booster, round, samples.get()));
        ReportProgress(progress, {"round", round + 1, model.rounds_, 0});
    }
    return model;
}

Model Model::Load(const std::string& bytes, const std::vector<std::string>& names) {
    BoosterHandle booster = nullptr;
    Check(XGBoosterCreate(nullptr, 0, &booster));
    Model model(booster, names);
    if (XGBoosterLoadModelFromBuffer(booster, bytes.data(), bst_ulong(bytes.size())) != 0)
        throw std::invalid_argument(std::string("not a model XGBoost reads: ") + XGBGetLastError());
    bst_ulong features = 0;
    Check(XGBoosterGetNumFeature(booster, &features));
    if (features != names.size())
        throw std::invalid_argument("the model takes " + std::to_string(features) + " inputs, not " +
                                    std::to_string(names.size()));
    return model;
}

std::string Model::Save() const {
    bst_ulong length = 0;
    const char* bytes = nullptr;
    Check(XGBoosterSaveModelToBuffer(booster_, R"({"format": "json"})", &length, &bytes));
    return std::string(bytes, std::size_t(length));
}

void Model::Predict(const float* values, std::size_t rows, double* out, double interceptShift) const {
    if (rows == 0) return;
    const Matrix cells(values, rows, names_.size());
    bst_ulong length = 0;
    const float* margins = nullptr;
    // Option 1: the margin (log-odds), so that the shift acts before the logistic function.
    Check(XGBoosterPredict(booster_, cells.get(), 1, 0, 0, &length, &margins));
    if (length != rows)
        throw std::runtime_error("XGBoost: " + std::to_string(length) + " predictions for " +
                                 std::to_string(rows) + " rows");
    for (std::size_t i = 0; i < rows; ++i)
        out[i] = 1 / (1 + std::exp(-(double(margins[i]) + interceptShift)));
}

std::vector<Importance> Model::Importances() const {
    std::vector<Importance> importances;
    for (const std::string& name : names_) importances.push_back({name, 0, 0});
    for (const char* type : {"gain", "cover"}) {
        const std::string config = std::string(R"({"importance_type": ")") + type + "\"}";
        bst_ulong count = 0, dimensions = 0;
        const char** features = nullptr;
        const bst_ulong* shape = nullptr;
        const float* scores = nullptr;
        Check(
            XGBoosterFeatureScore(booster_, config.c_str(), &count, &features, &dimensions, &shape, &scores));
        for (bst_ulong i = 0; i < count; ++i) {
            // Without names XGBoost calls input j "fj".
            std::size_t j = 0;
            const char* text = features[i];
            if (text[0] != 'f' ||
                std::from_chars(text + 1, text + std::char_traits<char>::length(text), j).ec != std::errc() ||
                j >= importances.size())
                throw std::runtime_error(std::string("XGBoost: an importance of an unknown input ") + text);
            (type[0] == 'g' ? importances[j].gain : importances[j].cover) = scores[i];
        }
    }
    return importances;
}

Scores Score(const std::vector<double>& p, const std::vector<int>& y) {
    Scores scores;
    scores.samples = p.size();
    for (std::size_t i = 0; i < p.size(); ++i)
        scores.logLoss -= y[i] == 1 ? std::log(Clamped(p[i])) : std::log(1 - Clamped(p[i]));
    if (!p.empty()) scores.logLoss /= double(p.size());
    scores.auc = Auc(p, y);
    return scores;
}

std::vector<Scores> CrossValidate(const std::vector<double>& x, const std::vector<int>& y,
                                  const std::vector<std::string>& names, const Options& options, int folds,
                                  const Progress& progress) {
    RefuseBadSamples(x, y, names.size());
    if (folds < 2 || std::size_t(folds) > y.size())
        throw std::invalid_argument("folds: " + std::to_string(folds) + " is not between 2 and the " +
                                    std::to_string(y.size()) + " samples");
    // Each class dealt round the folds in a seeded order, so that every fold holds both.
    std::vector<std::size_t> order(y.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::mt19937_64 random(options.seed);
    std::shuffle(order.begin(), order.end(), random);
    std::vector<int> foldOf(y.size());
    std::size_t dealt[2] = {0, 0};
    for (const std::size_t i : order) foldOf[i] = int(dealt[y[i]]++ % std::size_t(folds));
    const std::size_t k = names.size();
    std::vector<Scores> scores;
    for (int fold = 0; fold < folds; ++fold) {
        std::vector<double> trainX, testX;
        std::vector<int> trainY, testY;
        for (std::size_t i = 0; i < y.size(); ++i) {
            auto& into = foldOf[i] == fold ? testX : trainX;
            into.insert(into.end(), x.begin() + std::ptrdiff_t(i * k),
                        x.begin() + std::ptrdiff_t((i + 1) * k));
            (foldOf[i] == fold ? testY : trainY).push_back(y[i]);
        }
        try {
            // Each fold's rounds counted on from the folds before it.
            const Progress counted = [&](const ProgressStep& step) {
                return progress({step.what, fold * step.total + step.done, folds * step.total, step.value});
            };
            const Model model = Model::Train(trainX, trainY, names, options, progress ? counted : Progress{});
            const std::vector<float> values(testX.begin(), testX.end());
            std::vector<double> p(testY.size());
            model.Predict(values.data(), testY.size(), p.data());
            scores.push_back(Score(p, testY));
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument("fold " + std::to_string(fold + 1) + " of " + std::to_string(folds) +
                                        ": " + error.what());
        }
    }
    return scores;
}

Trained TrainWithFolds(const std::vector<double>& x, const std::vector<int>& y,
                       const std::vector<std::string>& names, const Options& options, int folds,
                       const Progress& progress) {
    const std::int64_t rounds = RoundsOf(options);
    const std::int64_t total = (folds > 0 ? std::int64_t(folds) + 1 : 1) * rounds;
    std::int64_t before = 0;  // the rounds of the trainings done
    const Progress counted = [&](const ProgressStep& step) {
        return progress({step.what, before + step.done, total, step.value});
    };
    const Progress& told = progress ? counted : progress;
    std::vector<Scores> scores;
    if (folds != 0) scores = CrossValidate(x, y, names, options, folds, told);
    before = total - rounds;
    return {Model::Train(x, y, names, options, told), std::move(scores)};
}

}  // namespace quarnel::trees
