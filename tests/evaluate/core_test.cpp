// The evaluation core: ROC and AUC against scikit-learn, DeLong's interval and the success rate
// against direct computations, the class table, cell sampling and deposit splits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "quarnel/evaluate.h"

namespace quarnel::evaluate {
namespace {

struct GoldenCase {
    std::string name;
    std::vector<double> scores;
    std::vector<std::int32_t> deposits;
    double auc = 0;
    std::vector<double> fpr;
    std::vector<double> tpr;
    double averagePrecision = 0;
    std::vector<double> thresholds;
    std::vector<double> precision;
    std::vector<double> recall;
    std::string logLoss;  // a number, or "none" where the scores are no probabilities
    std::string brier;
};

template <typename T>
std::vector<T> Numbers(const std::string& line) {
    std::istringstream in(line.substr(line.find(' ') + 1));
    std::vector<T> values;
    for (T value; in >> value;) values.push_back(value);
    return values;
}

// data/roc_golden.txt, written by make_roc_golden.py with scikit-learn.
std::vector<GoldenCase> GoldenCases() {
    std::ifstream in(std::string(QUARNEL_SOURCE_DIR) + "/tests/evaluate/data/roc_golden.txt");
    std::vector<GoldenCase> cases;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("case ", 0) == 0)
            cases.push_back({line.substr(5), {}, {}, 0, {}, {}, 0, {}, {}, {}, {}, {}});
        if (cases.empty()) continue;
        GoldenCase& c = cases.back();
        if (line.rfind("scores ", 0) == 0) c.scores = Numbers<double>(line);
        if (line.rfind("deposits ", 0) == 0) c.deposits = Numbers<std::int32_t>(line);
        if (line.rfind("auc ", 0) == 0) c.auc = Numbers<double>(line).at(0);
        if (line.rfind("fpr ", 0) == 0) c.fpr = Numbers<double>(line);
        if (line.rfind("tpr ", 0) == 0) c.tpr = Numbers<double>(line);
        if (line.rfind("ap ", 0) == 0) c.averagePrecision = Numbers<double>(line).at(0);
        if (line.rfind("thresholds ", 0) == 0) c.thresholds = Numbers<double>(line);
        if (line.rfind("precision ", 0) == 0) c.precision = Numbers<double>(line);
        if (line.rfind("recall ", 0) == 0) c.recall = Numbers<double>(line);
        if (line.rfind("log_loss ", 0) == 0) c.logLoss = line.substr(9);
        if (line.rfind("brier ", 0) == 0) c.brier = line.substr(6);
    }
    return cases;
}

// The golden cases' map ranked as the command ranks it, every deposit by its cell.
Evaluation EvaluateRanked(const GoldenCase& c) {
    std::vector<std::int64_t> cells, all;
    for (std::size_t i = 0; i < c.deposits.size(); ++i)
        for (std::int32_t k = 0; k < c.deposits[i]; ++k) {
            all.push_back(std::int64_t(cells.size()));
            cells.push_back(std::int64_t(i));
        }
    const RankedMap map = RankMap(c.scores, std::nullopt, {}, cells);
    return Evaluate(map.scores, GroupDeposits(map, all), 0);
}

TEST(EvaluateRoc, AucAndPointsEqualScikitLearnOnCasesWithTies) {
    const std::vector<GoldenCase> cases = GoldenCases();
    ASSERT_EQ(cases.size(), 9u);
    for (const GoldenCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const RocResult& roc : {Roc(c.scores, c.deposits), EvaluateRanked(c).roc}) {
            ASSERT_TRUE(roc.formed);
            EXPECT_NEAR(*roc.auc, c.auc, 1e-12);
            ASSERT_EQ(roc.points.size(), c.fpr.size());
            for (std::size_t i = 0; i < roc.points.size(); ++i) {
                EXPECT_NEAR(roc.points[i].x, c.fpr[i], 1e-12) << i;
                EXPECT_NEAR(roc.points[i].y, c.tpr[i], 1e-12) << i;
            }
        }
    }
}

TEST(EvaluateMeasures, PrecisionRecallAndProbabilityScoresEqualScikitLearnOnCasesWithTies) {
    for (const GoldenCase& c : GoldenCases()) {
        SCOPED_TRACE(c.name);
        const Evaluation found = EvaluateRanked(c);
        const PrecisionRecallResult& pr = found.precisionRecall;
        ASSERT_TRUE(pr.formed);
        EXPECT_NEAR(*pr.averagePrecision, c.averagePrecision, 1e-12);
        // scikit-learn lists the thresholds lowest first.
        ASSERT_EQ(pr.points.size(), c.thresholds.size());
        for (std::size_t i = 0, back = c.thresholds.size() - 1; i < pr.points.size(); ++i) {
            EXPECT_EQ(pr.points[i].threshold, c.thresholds[back - i]) << i;
            EXPECT_NEAR(pr.points[i].precision, c.precision[back - i], 1e-12) << i;
            EXPECT_NEAR(pr.points[i].recall, c.recall[back - i], 1e-12) << i;
        }
        const ProbabilityScores& scores = found.probability;
        if (c.logLoss == "none") {
            EXPECT_FALSE(scores.logLoss || scores.brier);
            EXPECT_NE(scores.note.find("outside 0 .. 1"), std::string::npos);
            continue;
        }
        ASSERT_TRUE(scores.logLoss && scores.brier) << scores.note;
        EXPECT_NEAR(*scores.logLoss, std::stod(c.logLoss), 1e-12);
        EXPECT_NEAR(*scores.brier, std::stod(c.brier), 1e-12);
    }
}

// DeLong's variance straight from its definition: the components of every deposit cell and
// every other cell over all pairs.
double DirectDeLongError(const GoldenCase& c) {
    std::vector<double> positives, negatives;
    for (std::size_t i = 0; i < c.scores.size(); ++i)
        (c.deposits[i] > 0 ? positives : negatives).push_back(c.scores[i]);
    const auto psi = [](double x, double y) { return x > y ? 1.0 : x == y ? 0.5 : 0.0; };
    const double m = static_cast<double>(positives.size()), n = static_cast<double>(negatives.size());
    std::vector<double> v10, v01;
    double auc = 0;
    for (const double x : positives) {
        double sum = 0;
        for (const double y : negatives) sum += psi(x, y);
        v10.push_back(sum / n);
        auc += sum;
    }
    auc /= m * n;
    for (const double y : negatives) {
        double sum = 0;
        for (const double x : positives) sum += psi(x, y);
        v01.push_back(sum / m);
    }
    double s10 = 0, s01 = 0;
    for (const double v : v10) s10 += (v - auc) * (v - auc);
    for (const double v : v01) s01 += (v - auc) * (v - auc);
    return std::sqrt(s10 / (m - 1) / m + s01 / (n - 1) / n);
}

TEST(EvaluateRoc, DeLongIntervalEqualsTheDirectComputation) {
    for (const GoldenCase& c : GoldenCases()) {
        SCOPED_TRACE(c.name);
        const RocResult roc = Roc(c.scores, c.deposits);
        // A constant map ranks nothing: its AUC stands, but no interval (DeLong's would be 0.5..0.5).
        if (std::set<double>(c.scores.begin(), c.scores.end()).size() == 1) {
            EXPECT_EQ(*roc.auc, 0.5);
            EXPECT_FALSE(roc.standardError || roc.aucLow || roc.aucHigh);
            continue;
        }
        ASSERT_TRUE(roc.standardError.has_value());
        const double error = DirectDeLongError(c);
        EXPECT_NEAR(*roc.standardError, error, 1e-12);
        EXPECT_NEAR(*roc.aucLow, std::max(0.0, c.auc - 1.959963984540054 * error), 1e-12);
        EXPECT_NEAR(*roc.aucHigh, std::min(1.0, c.auc + 1.959963984540054 * error), 1e-12);
    }
}

// A map ranked in the memory its values came in serves every set of deposits, with the numbers
// of the same cells given as arrays, to the bit.
TEST(EvaluateRoc, OneRankedMapServesEveryDepositSet) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values;
    for (int i = 0; i < 500; ++i) values.push_back(i % 7 == 0 ? nan : (i * 31) % 50);
    std::vector<std::int64_t> depositCells;
    for (int i = 1; i < 500; i += 11) depositCells.push_back(i);
    for (int i = 3; i < 500; i += 17) depositCells.push_back(i);
    depositCells.push_back(3);  // two deposits in one cell
    const RankedMap map = RankMap(values, std::nullopt, {}, depositCells);
    ASSERT_EQ(map.scores.size(), 428u);
    EXPECT_TRUE(std::is_sorted(map.scores.rbegin(), map.scores.rend()));
    EXPECT_EQ(DistinctScores(map.scores), 50);
    for (const auto& [first, last] : {std::pair{0, 46}, std::pair{46, 77}, std::pair{0, 77}}) {
        SCOPED_TRACE(first);
        std::vector<std::int64_t> chosen, cells;
        for (int d = first; d < last; ++d) {
            chosen.push_back(d);
            cells.push_back(depositCells[std::size_t(d)]);
        }
        const CellSample arrays = SampleCells(values, std::nullopt, {}, cells);
        const Evaluation expected = Evaluate(arrays.scores, arrays.deposits);
        const Evaluation found = Evaluate(map.scores, GroupDeposits(map, chosen), 0);
        EXPECT_EQ(found.roc.auc, expected.roc.auc);
        EXPECT_EQ(found.roc.standardError, expected.roc.standardError);
        EXPECT_EQ(found.successRate.area, expected.successRate.area);
        EXPECT_EQ(found.successRate.areaFor90, expected.successRate.areaFor90);
        ASSERT_EQ(found.roc.points.size(), expected.roc.points.size());
        for (std::size_t i = 0; i < found.roc.points.size(); ++i)
            EXPECT_EQ(found.roc.points[i].y, expected.roc.points[i].y) << i;
        // Walked point by point, the curves are the ones returned.
        std::vector<CurvePoint> walked;
        ForEachSuccessRatePoint(map.scores, GroupDeposits(map, chosen),
                                [&](const CurvePoint& point) { walked.push_back(point); });
        ASSERT_EQ(walked.size(), found.successRate.points.size());
        EXPECT_EQ(walked[20].x, found.successRate.points[20].x);
    }
}

TEST(EvaluateRoc, NeedsBothKindsOfCellForACurveAndTwoOfEachForAnInterval) {
    EXPECT_FALSE(Roc(std::vector<double>{1, 2}, std::vector<std::int32_t>{0, 0}).formed);
    EXPECT_FALSE(Roc(std::vector<double>{1, 2}, std::vector<std::int32_t>{1, 3}).formed);
    // No curve, no AUC: an empty or all-masked map.
    const RocResult empty = Roc(std::vector<double>{}, std::vector<std::int32_t>{});
    EXPECT_FALSE(empty.formed);
    EXPECT_FALSE(empty.auc.has_value());
    const std::vector<std::int64_t> first{0};
    const RankedMap masked = RankMap({1, 2, 3}, std::nullopt, std::vector<std::uint8_t>{0, 0, 0}, first);
    EXPECT_FALSE(Roc(masked.scores, GroupDeposits(masked, first), 0).auc.has_value());
    const RocResult one = Roc(std::vector<double>{1, 2, 3}, std::vector<std::int32_t>{0, 0, 1});
    EXPECT_TRUE(one.formed);
    EXPECT_EQ(*one.auc, 1.0);
    EXPECT_FALSE(one.aucLow.has_value());
}

// The area under the success-rate curve, deposit by deposit: a deposit in a group of equal
// scores sits halfway through the group's area.
double DirectSuccessArea(const std::vector<double>& scores, const std::vector<std::int32_t>& deposits) {
    const double cells = static_cast<double>(scores.size());
    double total = 0, sum = 0;
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (deposits[i] == 0) continue;
        double above = 0, tied = 0;
        for (const double other : scores) {
            above += other > scores[i];
            tied += other == scores[i];
        }
        sum += deposits[i] * (1 - (above + tied / 2) / cells);
        total += deposits[i];
    }
    return sum / total;
}

TEST(EvaluateSuccessRate, AreaEqualsTheDirectComputation) {
    for (const GoldenCase& c : GoldenCases()) {
        SCOPED_TRACE(c.name);
        const SuccessRateResult rate = SuccessRate(c.scores, c.deposits);
        ASSERT_TRUE(rate.formed);
        EXPECT_NEAR(rate.area, DirectSuccessArea(c.scores, c.deposits), 1e-12);
        EXPECT_EQ(rate.points.front().x, 0.0);
        EXPECT_EQ(rate.points.back().x, 1.0);
        EXPECT_EQ(rate.points.back().y, 1.0);
    }
}

TEST(EvaluateSuccessRate, CountsDepositsAndSpreadsATiedGroupEvenly) {
    // Ten cells; the top cell holds 2 of 4 deposits, a tie of four cells holds the other 2.
    const std::vector<double> scores{9, 5, 5, 5, 5, 1, 1, 1, 1, 1};
    const std::vector<std::int32_t> deposits{2, 0, 1, 1, 0, 0, 0, 0, 0, 0};
    const SuccessRateResult rate = SuccessRate(scores, deposits);
    EXPECT_EQ(rate.cells, 10);
    EXPECT_EQ(rate.deposits, 4);
    ASSERT_EQ(rate.points.size(), 4u);
    EXPECT_DOUBLE_EQ(rate.points[1].x, 0.1);
    EXPECT_DOUBLE_EQ(rate.points[1].y, 0.5);
    EXPECT_DOUBLE_EQ(rate.points[2].x, 0.5);
    EXPECT_DOUBLE_EQ(rate.points[2].y, 1.0);
    EXPECT_DOUBLE_EQ(rate.areaFor50, 0.1);
    EXPECT_DOUBLE_EQ(rate.areaFor75, 0.3);   // halfway through the tie
    EXPECT_DOUBLE_EQ(rate.areaFor90, 0.42);  // 80 % of the way
    EXPECT_DOUBLE_EQ(rate.area, 0.1 * 0.25 + 0.4 * 0.75 + 0.5);
    EXPECT_FALSE(SuccessRate(scores, std::vector<std::int32_t>(10, 0)).formed);
}

TEST(EvaluateSuccessRate, ThinnedCurveKeepsItsEndsAndStepsOfAtLeastTheStep) {
    std::vector<CurvePoint> points;
    for (int i = 0; i <= 1000; ++i) points.push_back({i / 1000.0, std::sqrt(i / 1000.0)});
    const std::vector<CurvePoint> thin = ThinCurve(points, 0.01);
    EXPECT_LT(thin.size(), 200u);
    EXPECT_GT(thin.size(), 100u);
    EXPECT_EQ(thin.front().x, 0.0);
    EXPECT_EQ(thin.back().x, 1.0);
    for (std::size_t i = 1; i + 1 < thin.size(); ++i) {
        EXPECT_TRUE(thin[i].x - thin[i - 1].x >= 0.01 || thin[i].y - thin[i - 1].y >= 0.01) << i;
    }
}

TEST(EvaluateClassTable, AreaSharesDepositsAndRelativeDensity) {
    const std::vector<double> classes{3, 1, 1, 3, 2, 1, 1, 1};
    const std::vector<std::int32_t> deposits{2, 1, 0, 0, 0, 0, 0, 1};
    const std::vector<ClassRow> table = ClassTable(classes, deposits);
    ASSERT_EQ(table.size(), 3u);
    // Whole map: 4 deposits on 8 cells, 0.5 a cell.
    const double expected[3][4] = {{1, 5, 2, 0.8}, {2, 1, 0, 0}, {3, 2, 2, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table[i].value, expected[i][0]);
        EXPECT_EQ(table[i].cells, static_cast<std::int64_t>(expected[i][1]));
        EXPECT_DOUBLE_EQ(table[i].areaShare, expected[i][1] / 8);
        EXPECT_EQ(table[i].deposits, static_cast<std::int64_t>(expected[i][2]));
        EXPECT_DOUBLE_EQ(table[i].density, expected[i][3]);
    }
    EXPECT_EQ(ClassTable(classes, std::vector<std::int32_t>(8, 0))[0].density, 0.0);
}

TEST(EvaluateSample, LeavesOutNoDataNanAndMaskedCellsAndCountsTheirDeposits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<double> values{1, -9999, 3, nan, 5, 6};
    const std::vector<std::uint8_t> mask{1, 1, 1, 1, 0, 1};
    // Deposits: two in cell 0, one on no-data, one on NaN, one masked, one off the raster, one in 5.
    const std::vector<std::int64_t> depositCells{0, 1, 0, 3, 4, 6, -1, 5};
    const CellSample sample = SampleCells(values, -9999.0, mask, depositCells);
    EXPECT_EQ(sample.scores, (std::vector<double>{1, 3, 6}));
    EXPECT_EQ(sample.deposits, (std::vector<std::int32_t>{2, 0, 1}));
    EXPECT_EQ(sample.depositsOnInvalid, 5);
    // Without a mask or a no-data value only NaN is left out.
    EXPECT_EQ(SampleCells(values, std::nullopt, {}, depositCells).scores.size(), 5u);

    const RankedMap map = RankMap(values, -9999.0, mask, depositCells);
    EXPECT_EQ(map.scores, (std::vector<double>{6, 3, 1}));
    EXPECT_EQ(map.depositsOnInvalid, 5);
    EXPECT_EQ(map.validDeposits, (std::vector<std::int64_t>{0, 2, 7}));
    EXPECT_EQ(map.depositScores[7], 6);
    EXPECT_TRUE(std::isnan(map.depositScores[1]));
    // A subset: deposits 0 and 2 (both cell 0: one cell, two deposits), 7 (cell 5), and 1
    // (no-data), which no cell takes.
    const std::vector<DepositGroup> groups = GroupDeposits(map, std::vector<std::int64_t>{2, 7, 1, 0});
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].score, 6);
    EXPECT_EQ(groups[0].deposits, 1);
    EXPECT_EQ(groups[1].score, 1);
    EXPECT_EQ(groups[1].cells, 1);
    EXPECT_EQ(groups[1].deposits, 2);
}

TEST(EvaluateSplit, HoldoutIsAPartitionOfTheAskedSizeFixedByTheSeed) {
    for (const double fraction : {0.0, 0.25, 0.3, 1.0}) {
        SCOPED_TRACE(fraction);
        const DepositSplit split = HoldoutSplit(10, fraction, 7);
        EXPECT_EQ(split.heldOut.size(), static_cast<std::size_t>(std::llround(fraction * 10)));
        std::set<std::int64_t> all(split.heldOut.begin(), split.heldOut.end());
        all.insert(split.training.begin(), split.training.end());
        EXPECT_EQ(all.size(), 10u);
        EXPECT_EQ(*all.rbegin(), 9);
        EXPECT_TRUE(std::is_sorted(split.heldOut.begin(), split.heldOut.end()));
    }
    EXPECT_EQ(HoldoutSplit(40, 0.25, 11).heldOut, HoldoutSplit(40, 0.25, 11).heldOut);
    EXPECT_NE(HoldoutSplit(40, 0.25, 11).heldOut, HoldoutSplit(40, 0.25, 12).heldOut);
    // The shuffle is this library's own over mt19937_64, so the split of a seed never changes.
    EXPECT_EQ(HoldoutSplit(10, 0.3, 42).heldOut, (std::vector<std::int64_t>{1, 7, 9}));
}

// Deposits sharing a cell (the group) stay on one side; the share is one of the cells.
TEST(EvaluateSplit, ByCellNoCellHoldsTrainingAndHeldOutDeposits) {
    const std::vector<std::int64_t> cells = {5, 9, 5, 5, 12, 9, 40, 7, 7, 12, 3, 40, 40, 8};
    for (const std::uint64_t seed : {1u, 2u, 3u, 4u, 5u}) {
        const DepositSplit split = HoldoutSplitByGroup(cells, 0.5, seed);
        ASSERT_EQ(split.training.size() + split.heldOut.size(), cells.size());
        std::set<std::int64_t> trainingCells, heldOutCells;
        for (const std::int64_t d : split.training) trainingCells.insert(cells[std::size_t(d)]);
        for (const std::int64_t d : split.heldOut) heldOutCells.insert(cells[std::size_t(d)]);
        for (const std::int64_t cell : heldOutCells) EXPECT_EQ(trainingCells.count(cell), 0u) << cell;
        EXPECT_EQ(heldOutCells.size(), 4u);  // round(0.5 * 8 cells)
        const std::vector<int> folds = FoldSplitByGroup(cells, 3, seed);
        for (std::size_t a = 0; a < cells.size(); ++a)
            for (std::size_t b = 0; b < cells.size(); ++b) {
                if (cells[a] == cells[b]) {
                    EXPECT_EQ(folds[a], folds[b]);
                }
            }
    }
}

// The paired test against numpy's DeLong (Sun and Xu's mid-rank form, written out here): two
// correlated maps with ties, 30 deposit cells among 400.
TEST(EvaluatePairedDeLong, AgreesWithNumpy) {
    std::mt19937 random(5);
    std::normal_distribution<double> normal;
    std::vector<double> a, b;
    std::vector<std::int32_t> deposits;
    std::ostringstream data;
    for (int i = 0; i < 400; ++i) {
        const int deposit = i % 13 == 0 ? 1 + i % 2 : 0;
        const double common = normal(random) + (deposit ? 1.0 : 0.0);
        a.push_back(std::round(4 * (common + 0.5 * normal(random))) / 4);
        b.push_back(common * 0.6 + normal(random));
        deposits.push_back(deposit);
        data << a.back() << ' ' << b.back() << ' ' << deposit << '\n';
    }
    const std::string folder = ::testing::TempDir();
    { std::ofstream(folder + "paired.txt") << data.str(); }
    const std::string script =
        "import numpy as np, math\n"
        "def rankdata(v):\n"
        " u,inv,cnt=np.unique(v,return_inverse=True,return_counts=True)\n"
        " return (np.cumsum(cnt)-(cnt-1)/2)[inv]\n"
        "d=np.loadtxt('" +
        folder +
        "paired.txt'); pos=d[:,2]>0\n"
        "def place(s):\n"
        " x,y=s[pos],s[~pos]; m,n=len(x),len(y)\n"
        " tx,ty,tz=rankdata(x),rankdata(y),rankdata(np.r_[x,y])\n"
        " v10=(tz[:m]-tx)/n; v01=1-(tz[m:]-ty)/m\n"
        " return v10.mean(),v10,v01\n"
        "a1,x1,y1=place(d[:,0]); a2,x2,y2=place(d[:,1])\n"
        "s10=np.cov(np.vstack([x1,x2])); s01=np.cov(np.vstack([y1,y2]))\n"
        "m,n=len(x1),len(y1); v=(s10[0,0]+s10[1,1]-2*s10[0,1])/m+(s01[0,0]+s01[1,1]-2*s01[0,1])/n\n"
        "z=(a1-a2)/math.sqrt(v); print('%.12f %.12f %.12f' % (a1, a2, math.erfc(abs(z)/math.sqrt(2))))\n";
    { std::ofstream(folder + "paired.py") << script; }
    FILE* out = popen(("/usr/bin/python3 " + folder + "paired.py").c_str(), "r");
    ASSERT_NE(out, nullptr);
    double aucA = 0, aucB = 0, p = 0;
    const int read = std::fscanf(out, "%lf %lf %lf", &aucA, &aucB, &p);
    pclose(out);
    ASSERT_EQ(read, 3);
    const PairedDeLongResult found = PairedDeLong(a, b, deposits);
    ASSERT_TRUE(found.formed);
    EXPECT_NEAR(found.aucA, aucA, 1e-9);
    EXPECT_NEAR(found.aucB, aucB, 1e-9);
    EXPECT_NEAR(found.p, p, 1e-9);
    EXPECT_GT(p, 1e-6);
    EXPECT_NEAR(found.aucA, Roc(a, deposits).auc.value_or(-1), 1e-12);  // the same AUC as the ROC's
    EXPECT_FALSE(PairedDeLong(a, b, std::vector<std::int32_t>(400, 0)).formed);
}

TEST(EvaluateSplit, FoldsDealEveryDepositOnceInFoldsOfNearlyEqualSize) {
    const std::vector<int> folds = FoldSplit(23, 5, 3);
    ASSERT_EQ(folds.size(), 23u);
    std::vector<int> sizes(5, 0);
    for (const int fold : folds) ++sizes.at(static_cast<std::size_t>(fold));
    EXPECT_EQ(sizes, (std::vector<int>{5, 5, 5, 4, 4}));
    EXPECT_EQ(FoldSplit(23, 5, 3), folds);
    EXPECT_NE(FoldSplit(23, 5, 4), folds);
}

}  // namespace
}  // namespace quarnel::evaluate
