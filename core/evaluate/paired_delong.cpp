#include <algorithm>
#include <cmath>

#include "quarnel/evaluate.h"

namespace quarnel::evaluate {
namespace {

// DeLong's placement values of one map: per deposit cell the share of other cells scored below
// it, per other cell the share of deposit cells scored above it (ties half each).
struct Placements {
    std::vector<double> ofDeposits;
    std::vector<double> ofOthers;
    double auc = 0;
};

double ShareBelow(const std::vector<double>& sorted, double v) {
    const auto below = std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin();
    const auto equal = std::upper_bound(sorted.begin(), sorted.end(), v) - sorted.begin() - below;
    return (double(below) + 0.5 * double(equal)) / double(sorted.size());
}

Placements PlacementsOf(std::span<const double> scores, std::span<const std::int32_t> deposits) {
    std::vector<double> positive, negative;
    for (std::size_t i = 0; i < scores.size(); ++i)
        (deposits[i] > 0 ? positive : negative).push_back(scores[i]);
    Placements found;
    std::vector<double> sortedNegative = negative;
    std::vector<double> sortedPositive = positive;
    std::sort(sortedNegative.begin(), sortedNegative.end());
    std::sort(sortedPositive.begin(), sortedPositive.end());
    for (const double v : positive) found.ofDeposits.push_back(ShareBelow(sortedNegative, v));
    for (const double v : negative) found.ofOthers.push_back(1.0 - ShareBelow(sortedPositive, v));
    for (const double v : found.ofDeposits) found.auc += v;
    found.auc /= double(found.ofDeposits.size());
    return found;
}

// The sample covariance of a and b (n - 1 in the denominator).
double Covariance(const std::vector<double>& a, const std::vector<double>& b) {
    double meanA = 0, meanB = 0;
    for (std::size_t i = 0; i < a.size(); ++i) meanA += a[i], meanB += b[i];
    meanA /= double(a.size());
    meanB /= double(b.size());
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i) sum += (a[i] - meanA) * (b[i] - meanB);
    return sum / double(a.size() - 1);
}

}  // namespace

PairedDeLongResult PairedDeLong(std::span<const double> a, std::span<const double> b,
                                std::span<const std::int32_t> deposits) {
    PairedDeLongResult result;
    const auto positives =
        std::count_if(deposits.begin(), deposits.end(), [](std::int32_t d) { return d > 0; });
    const auto negatives = std::ptrdiff_t(deposits.size()) - positives;
    if (a.size() != deposits.size() || b.size() != deposits.size() || positives < 2 || negatives < 2)
        return result;
    const Placements x = PlacementsOf(a, deposits);
    const Placements y = PlacementsOf(b, deposits);
    result.formed = true;
    result.aucA = x.auc;
    result.aucB = y.auc;
    const double variance = (Covariance(x.ofDeposits, x.ofDeposits) + Covariance(y.ofDeposits, y.ofDeposits) -
                             2 * Covariance(x.ofDeposits, y.ofDeposits)) /
                                double(positives) +
                            (Covariance(x.ofOthers, x.ofOthers) + Covariance(y.ofOthers, y.ofOthers) -
                             2 * Covariance(x.ofOthers, y.ofOthers)) /
                                double(negatives);
    result.standardError = std::sqrt(std::max(variance, 0.0));
    const double difference = result.aucA - result.aucB;
    if (result.standardError > 0) {
        result.z = difference / result.standardError;
        result.p = std::erfc(std::fabs(result.z) / std::sqrt(2.0));
    } else {
        result.p = difference == 0 ? 1.0 : 0.0;
    }
    return result;
}

}  // namespace quarnel::evaluate
