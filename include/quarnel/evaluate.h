#pragma once
// Validation of a prospectivity map against known deposits, over values held in memory. The
// ROC curve and its AUC count a cell once however many deposits it holds (deposit cells against
// every other valid cell); the success-rate curve and the class table count deposits, so a cell
// with two deposits captures two. Results are structs; nothing here reads or writes files or
// prints.
//
// A map is ranked once (RankMap): the scores of its valid cells sorted highest first, in the
// memory its values came in, so that an evaluation holds 8 bytes a cell and nothing more of a
// cell's size. Runs of equal scores are the groups every curve and statistic walks, so equal
// scores are treated alike everywhere; a set of deposits is given by the scores of its cells
// (GroupDeposits), and one ranking serves every set.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quarnel::evaluate {

// A map ranked for evaluation, and where its deposits lie on it.
struct RankedMap {
    std::vector<double> scores;               // the valid cells' scores, highest first
    std::vector<double> depositScores;        // per deposit: its cell's score; NaN off the valid cells
    std::vector<std::int64_t> depositCells;   // per deposit: its raster cell, as given
    std::vector<std::int64_t> validDeposits;  // the deposits on valid cells, ascending
    std::int64_t depositsOnInvalid = 0;       // deposits whose cell is no-data, masked out or off the raster
};

// Ranks the cells of values (row-major) whose value is neither noData nor NaN and whose mask
// byte (when a mask is given: the same length as values) is not 0. values is taken over: its
// memory becomes scores. depositCells holds the raster cell of each deposit (cells outside
// 0 .. values.size() - 1 count as invalid).
RankedMap RankMap(std::vector<double> values, std::optional<double> noData,
                  std::span<const std::uint8_t> mask, std::span<const std::int64_t> depositCells);

// The deposits of one set by the score of their cells: a row per distinct score, highest first,
// with the cells holding a deposit (each counted once) and the deposits.
struct DepositGroup {
    double score = 0;
    std::int64_t cells = 0;
    std::int64_t deposits = 0;
};
// The deposits numbered in chosen (indices into map.depositCells) that lie on valid cells.
std::vector<DepositGroup> GroupDeposits(const RankedMap& map, std::span<const std::int64_t> chosen);

// A point of a curve: x the share of area (ROC: of the cells without deposits), y the share of
// deposits (ROC: of the deposit cells) at or above a score threshold.
struct CurvePoint {
    double x = 0;
    double y = 0;
};

// ROC of the deposit cells against the other valid cells. points run from (0, 0) to (1, 1), one
// per distinct score, highest first (thinned by the step asked for: see ThinCurve). auc is the
// Mann-Whitney statistic, a tie counting half (equal to the area under the points joined by
// straight lines); it is unset when the curve is not formed, which needs cells of both kinds.
// The 95 % interval is auc +- 1.96 standard errors by DeLong's method, clipped to 0 .. 1; it
// needs two cells of each kind and more than one distinct score (a constant map ranks nothing:
// its AUC is 0.5 with no interval).
struct RocResult {
    bool formed = false;
    std::int64_t depositCells = 0;
    std::int64_t otherCells = 0;
    std::vector<CurvePoint> points;
    std::optional<double> auc;
    std::optional<double> standardError;
    std::optional<double> aucLow;
    std::optional<double> aucHigh;
};

// DeLong's test of two maps' AUCs on the same cells and deposits: a[i] and b[i] the two scores
// of cell i, deposits[i] its deposits (a cell counts once, as in Roc). p is the two-sided
// p-value of aucA = aucB from the normal distribution of their difference, whose standard error
// takes the two maps' correlation into account. formed is false without two cells of each kind
// or with spans of different lengths.
struct PairedDeLongResult {
    bool formed = false;
    double aucA = 0;
    double aucB = 0;
    double standardError = 0;  // of aucA - aucB
    double z = 0;
    double p = 1;
};
PairedDeLongResult PairedDeLong(std::span<const double> a, std::span<const double> b,
                                std::span<const std::int32_t> deposits);

// Success-rate curve: cells ranked by score, highest first; a group of equal scores enters
// together, the deposits it captures spread evenly over its area. points run from (0, 0) to
// (1, 1), one per distinct score (thinned as asked); area is the area under every point.
// areaFor50/75/90 are the shares of area needed to capture that share of the deposits (read
// off the curve, linear within a group). formed is false when there are no cells or no deposits.
struct SuccessRateResult {
    bool formed = false;
    std::int64_t cells = 0;
    std::int64_t deposits = 0;
    std::vector<CurvePoint> points;
    double area = 0;
    double areaFor50 = 0;
    double areaFor75 = 0;
    double areaFor90 = 0;
};

// Precision-recall curve of the deposit cells (a cell counts once, as in Roc): at each distinct
// score, highest first, the share of the deposit cells at or above it (recall) and the share of
// the cells at or above it that hold a deposit (precision), thinned as asked (a point kept where
// either has moved by the step). averagePrecision is scikit-learn's, sum of (R_n - R_n-1) P_n
// over the thresholds from the highest (R_0 = 0), equal scores entering together. formed is
// false without a deposit cell.
struct PrecisionRecallPoint {
    double threshold = 0;
    double recall = 0;
    double precision = 0;
};
struct PrecisionRecallResult {
    bool formed = false;
    std::int64_t depositCells = 0;
    std::vector<PrecisionRecallPoint> points;
    std::optional<double> averagePrecision;
};

// Prediction-area curve: at each distinct score, highest first, the share of the deposits in
// cells at or above it (prediction rate; deposits counted as in SuccessRate) and the share of the
// valid cells at or above it (area), thinned as asked. The crossing is where the prediction rate
// equals 1 - area: the first threshold (from the highest) at which rate >= 1 - area, linearly
// interpolated in threshold, rate and area from the threshold before it (the highest threshold
// itself when the rate already reaches 1 - area there). formed is false without cells or deposits.
struct PredictionAreaPoint {
    double threshold = 0;
    double predictionRate = 0;
    double areaShare = 0;
};
struct PredictionAreaResult {
    bool formed = false;
    std::vector<PredictionAreaPoint> points;
    PredictionAreaPoint crossing;  // when formed
};

// Log loss and Brier score of the map read as each cell's probability of holding a deposit: a
// deposit cell (counted once, as in Roc) has outcome 1, every other valid cell 0; both are means
// over the valid cells. As in scikit-learn's log_loss, scores are clipped to eps .. 1 - eps (eps
// the double's machine epsilon), so a certain miss costs about 36 rather than infinity. Only a map
// whose scores all lie in 0 .. 1 is a probability: otherwise (or without cells) both are unset and
// note says why.
struct ProbabilityScores {
    std::optional<double> logLoss;
    std::optional<double> brier;
    std::string note;
};

// ROC, success rate, precision-recall, prediction-area and probability scores of one ranked map
// (scores highest first) against one set of deposits; the curves keep a point where a coordinate
// has moved by curveStep or more (0: every point).
struct Evaluation {
    RocResult roc;
    SuccessRateResult successRate;
    PrecisionRecallResult precisionRecall;
    PredictionAreaResult predictionArea;
    ProbabilityScores probability;
};
PrecisionRecallResult PrecisionRecall(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                      double curveStep);
PredictionAreaResult PredictionArea(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                    double curveStep);
ProbabilityScores ScoreProbabilities(std::span<const double> ranked, std::span<const DepositGroup> deposits);
RocResult Roc(std::span<const double> ranked, std::span<const DepositGroup> deposits, double curveStep);
SuccessRateResult SuccessRate(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                              double curveStep);
Evaluation Evaluate(std::span<const double> ranked, std::span<const DepositGroup> deposits, double curveStep);

// Every point of the curves in turn, for writing them out without holding them.
void ForEachRocPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                     const std::function<void(const CurvePoint&)>& visit);
void ForEachSuccessRatePoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                             const std::function<void(const CurvePoint&)>& visit);
void ForEachPrecisionRecallPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                 const std::function<void(const PrecisionRecallPoint&)>& visit);
void ForEachPredictionAreaPoint(std::span<const double> ranked, std::span<const DepositGroup> deposits,
                                const std::function<void(const PredictionAreaPoint&)>& visit);

// The number of distinct scores of a ranked map.
std::int64_t DistinctScores(std::span<const double> ranked);

// One row per class value, ascending: the share of the valid cells it covers, its deposits, and
// its density relative to the whole map, (deposits / cells of the class) / (deposits / cells);
// density is 0 when the map holds no deposits.
struct ClassRow {
    double value = 0;
    std::int64_t cells = 0;
    double areaShare = 0;
    std::int64_t deposits = 0;
    double density = 0;
};
std::vector<ClassRow> ClassTable(std::span<const double> ranked, std::span<const DepositGroup> deposits);

// The curve with a point kept only where x or y has moved by step or more since the last kept
// point (the first and last always kept): at most about 2 / step points for a picture or a
// summary, which look the same.
std::vector<CurvePoint> ThinCurve(std::span<const CurvePoint> points, double step);

// The same over maps held as arrays, one score and one deposit count per cell in any order:
// each ranks its cells first (NaN scores take no part), and the curves keep every point.
// SampleCells leaves out the cells RankMap leaves out and counts deposits per remaining cell.
struct CellSample {
    std::vector<double> scores;          // the valid cells' values, in raster order
    std::vector<std::int32_t> deposits;  // the deposits on each
    std::int64_t depositsOnInvalid = 0;
};
CellSample SampleCells(std::span<const double> values, std::optional<double> noData,
                       std::span<const std::uint8_t> mask, std::span<const std::int64_t> depositCells);
RocResult Roc(std::span<const double> scores, std::span<const std::int32_t> deposits);
SuccessRateResult SuccessRate(std::span<const double> scores, std::span<const std::int32_t> deposits);
Evaluation Evaluate(std::span<const double> scores, std::span<const std::int32_t> deposits);
std::vector<ClassRow> ClassTable(std::span<const double> classes, std::span<const std::int32_t> deposits);

// Splitting deposits 0 .. count - 1 into a training part and a part kept back for the
// prediction rate. The order is a Fisher-Yates shuffle driven by std::mt19937_64(seed) with a
// bounded draw of its own, so a seed gives the same split with every standard library.
// HoldoutSplit keeps back round(fraction * count) deposits (fraction within 0 .. 1); FoldSplit
// deals the shuffled deposits into folds 0 .. folds - 1 in turn (folds >= 1) and returns the
// fold of each deposit. Both lists of a split are in ascending order.
struct DepositSplit {
    std::vector<std::int64_t> training;
    std::vector<std::int64_t> heldOut;
};
DepositSplit HoldoutSplit(std::int64_t count, double fraction, std::uint64_t seed);
std::vector<int> FoldSplit(std::int64_t count, int folds, std::uint64_t seed);

// The same splits dealt by group (a deposit's cell, or its block of a spatial split), so that
// deposits sharing a group stay on one side: group[i] names deposit i's group; the distinct
// names, in order of first appearance, are split as HoldoutSplit / FoldSplit split that many
// deposits (the fraction is then a share of the groups; deposits each in a group of their own
// split as before), and each deposit follows its group.
DepositSplit HoldoutSplitByGroup(std::span<const std::int64_t> group, double fraction, std::uint64_t seed);
std::vector<int> FoldSplitByGroup(std::span<const std::int64_t> group, int folds, std::uint64_t seed);

}  // namespace quarnel::evaluate
