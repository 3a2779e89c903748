// The posterior probability of a cell, and the tests of conditional independence.
#include <cmath>
#include <string>

#include "quarnel/wofe.h"

namespace quarnel::wofe {

Model ModelOf(double studyArea, std::int64_t deposits, std::vector<LayerWeights> layers) {
    if (deposits <= 0) throw WofeError("no deposit lies in the study area");
    if (double(deposits) >= studyArea)
        throw WofeError(std::to_string(deposits) + " deposits fill the study area of " +
                        std::to_string(studyArea) + " unit cells; choose a smaller unit area");
    Model model;
    model.studyArea = studyArea;
    model.deposits = deposits;
    model.priorProbability = double(deposits) / studyArea;
    model.priorLogit = std::log(double(deposits) / (studyArea - double(deposits)));
    model.layers = std::move(layers);
    return model;
}

namespace {

double Logistic(double logit) {
    return 1 / (1 + std::exp(-logit));
}

}  // namespace

CellPosterior Posterior(const Model& model, std::span<const int> classes) {
    double logit = model.priorLogit;
    double variance = 1 / double(model.deposits);
    for (std::size_t k = 0; k < classes.size(); ++k) {
        if (classes[k] < 0) continue;
        const GeneralClass& c = model.layers[k].classes[std::size_t(classes[k])];
        logit += c.weight;
        variance += c.weightStd * c.weightStd;
    }
    const double p = Logistic(logit);
    double total = p * p * variance;
    // An unknown layer: the spread of the posteriors had the cell each of its classes, weighed by
    // the classes' shares of the layer's known area.
    for (std::size_t k = 0; k < classes.size(); ++k) {
        if (classes[k] >= 0) continue;
        const LayerWeights& layer = model.layers[k];
        for (const GeneralClass& c : layer.classes) {
            const double pk = Logistic(logit + c.weight);
            total += (pk - p) * (pk - p) * c.area / layer.knownArea;
        }
    }
    return {p, std::sqrt(total)};
}

Independence TestIndependence(std::int64_t deposits, std::span<const Condition> conditions) {
    Independence test;
    double variance = 0;
    for (const Condition& c : conditions) {
        test.expected += c.probability * c.area;
        variance += (c.area * c.std) * (c.area * c.std);
    }
    test.observed = deposits;
    test.ratio = double(deposits) / test.expected;
    test.std = std::sqrt(variance);
    test.z = (test.expected - double(deposits)) / test.std;
    test.p = 0.5 * std::erfc(test.z / std::sqrt(2.0));
    test.rejected95 = test.z > 1.645;
    test.rejected99 = test.z > 2.326;
    return test;
}

std::vector<PairTest> PairwiseChiSquares(const Model& model, std::span<const std::vector<int>> deposits) {
    std::vector<PairTest> tests;
    const std::size_t layers = model.layers.size();
    for (std::size_t a = 0; a < layers; ++a)
        for (std::size_t b = a + 1; b < layers; ++b) {
            if (model.layers[a].classes.size() != 2 || model.layers[b].classes.size() != 2) continue;
            double table[2][2] = {{0, 0}, {0, 0}};
            double total = 0;
            for (const std::vector<int>& classes : deposits) {
                if (classes[a] < 0 || classes[b] < 0) continue;
                table[classes[a]][classes[b]] += 1;
                total += 1;
            }
            PairTest test{a, b, std::nullopt, std::nullopt};
            const double rows[2] = {table[0][0] + table[0][1], table[1][0] + table[1][1]};
            const double cols[2] = {table[0][0] + table[1][0], table[0][1] + table[1][1]};
            if (rows[0] > 0 && rows[1] > 0 && cols[0] > 0 && cols[1] > 0) {
                double chi = 0;
                for (int i = 0; i < 2; ++i)
                    for (int j = 0; j < 2; ++j) {
                        const double expected = rows[i] * cols[j] / total;
                        chi += (table[i][j] - expected) * (table[i][j] - expected) / expected;
                    }
                test.chiSquare = chi;
                test.p = std::erfc(std::sqrt(chi / 2));
            }
            tests.push_back(test);
        }
    return tests;
}

}  // namespace quarnel::wofe
