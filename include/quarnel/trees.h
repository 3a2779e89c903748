#pragma once
// Gradient-boosted trees and random forests of a 0/1 target on inputs, trained by XGBoost's C
// library (a forest is its parallel-tree mode: every tree in one round, learning rate 1, rows
// and inputs subsampled). Training is seeded and single-threaded, so a model is the same run to
// run. Built for the host and Python only (quarnel_trees): the Windows DLL leaves it out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "quarnel/progress.h"

namespace quarnel::trees {

enum class Kind { boosting, forest };

struct Options {
    Kind kind = Kind::boosting;
    int trees = 100;
    int depth = 4;
    double learningRate = 0.1;  // boosting's shrinkage; a forest takes 1
    double subsample = 0.8;     // share of the samples each tree sees
    std::uint64_t seed = 1;
};

// An input's share in the model's splits: XGBoost's average gain and cover over the splits on
// it, 0 for an input no split takes.
struct Importance {
    std::string name;
    double gain = 0;
    double cover = 0;
};

// How well probabilities p fit targets y: the mean log loss and the AUC (none with one class).
struct Scores {
    std::size_t samples = 0;
    double logLoss = 0;
    std::optional<double> auc;
};

// A trained model. Move-only: it owns its XGBoost booster.
class Model {
  public:
    // x: samples x names.size() values row after row, y: one 0 or 1 per sample. Throws
    // std::invalid_argument for sizes that disagree, a non-finite value, a target other than 0
    // or 1, a target of one class only, or options out of range; std::runtime_error for a
    // failure XGBoost reports. Progress hears of every boosting round ("round"; a forest is one).
    static Model Train(const std::vector<double>& x, const std::vector<int>& y,
                       const std::vector<std::string>& names, const Options& options,
                       const Progress& progress = {});
    // A model from Save's bytes, for inputs named names. std::invalid_argument when the bytes
    // are no model of that many inputs.
    static Model Load(const std::string& bytes, const std::vector<std::string>& names);

    Model(Model&& other) noexcept;
    Model& operator=(Model&& other) noexcept;
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;
    ~Model();

    // XGBoost's JSON of the model.
    std::string Save() const;
    // The probability of each of rows rows of inputs().size() values (NaN: missing, which
    // XGBoost sends down each split's default branch): the logistic function of the model's
    // log-odds (XGBoost's margin) plus interceptShift, ln(sampled / all) for a sampled
    // background (logistic regression's prior correction). out holds rows values.
    void Predict(const float* values, std::size_t rows, double* out, double interceptShift = 0) const;
    std::vector<Importance> Importances() const;
    const std::vector<std::string>& inputs() const { return names_; }
    // The parameters XGBoost trained with, as (name, value) text pairs, and the rounds: enough
    // for XGBoost's own train() to make the same model.
    const std::vector<std::pair<std::string, std::string>>& parameters() const { return parameters_; }
    int rounds() const { return rounds_; }

  private:
    Model(void* booster, std::vector<std::string> names);
    void* booster_ = nullptr;
    std::vector<std::string> names_;
    std::vector<std::pair<std::string, std::string>> parameters_;
    int rounds_ = 0;
};

Scores Score(const std::vector<double>& p, const std::vector<int>& y);

// K-fold cross-validation: the samples dealt into folds by a permutation seeded with
// options.seed, each fold scored by a model trained on the others. Throws as Train does, and
// std::invalid_argument for folds outside 2..samples or a training part of one class. Progress
// hears of every round of every fold's training, counted across the folds.
std::vector<Scores> CrossValidate(const std::vector<double>& x, const std::vector<int>& y,
                                  const std::vector<std::string>& names, const Options& options, int folds,
                                  const Progress& progress = {});

// A model and, with folds (0: none), its cross-validation first.
struct Trained {
    Model model;
    std::vector<Scores> folds;
};

// CrossValidate with folds, then Train on every sample; throws as they do. Progress hears of
// every round, the folds' then the model's, counted on across them all.
Trained TrainWithFolds(const std::vector<double>& x, const std::vector<int>& y,
                       const std::vector<std::string>& names, const Options& options, int folds,
                       const Progress& progress = {});

}  // namespace quarnel::trees
