#pragma once
// Weights of evidence over counts held in memory: each layer's weights table from the cells and
// deposits of its classes, its generalisation, the posterior probability of a cell with its
// standard deviation, and the conditional-independence tests. Areas are in unit cells (a cell's
// area over the unit area); a class value is an integer. Nothing here reads rasters or prints:
// the GDAL door counts the classes and walks the cells.
//
// For a class (a cumulative row for ascending and descending layers) of area b holding d
// deposits, in a layer whose known area S holds N deposits:
//   W+ = ln[(d/N) / ((b-d)/(S-N))],  s2(W+) = 1/d + 1/(b-d),
//   W- = ln[((N-d)/N) / ((S-b-N+d)/(S-N))],  s2(W-) = 1/(N-d) + 1/(S-b-N+d),
//   C = W+ - W-, s(C) = sqrt(s2(W+) + s2(W-)), studentised contrast C/s(C).
// d = 0 leaves W+ (and C) unset, d = N leaves W- (and C) unset, each with a note.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace quarnel::wofe {

// A refusal: too many classes, a class its deposits fill, no deposit, a rule that does not
// apply. The text names the layer and the class.
class WofeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::size_t kMaxClasses = 1000;

enum class Type { categorical, ascending, descending };
// Which cumulative row splits an ascending or descending layer in two, or for a categorical
// layer: none keeps every class's W+, any other rule pools the classes whose |C/s(C)| < Z.
enum class Rule { maxContrast, maxSignificantContrast, maxStudentized, value, none };

struct Generalization {
    Rule rule = Rule::maxSignificantContrast;
    std::int64_t value = 0;     // Rule::value: the row's class
    double minStudentized = 2;  // Z
};

// "categorical"; "max-significant-contrast", "value:7"; and back (nullopt: no such word).
std::string TypeName(Type type);
std::optional<Type> TypeOf(const std::string& word);
std::string RuleName(const Generalization& rule);
std::optional<Generalization> RuleOf(const std::string& word, double minStudentized);

// One class of a layer over the study area: its cells and the deposits on them. A missing class
// is unknown evidence: left out of the layer's counts.
struct ClassCount {
    std::int64_t value = 0;
    std::int64_t cells = 0;
    std::int64_t deposits = 0;
    bool missing = false;
};

struct Weights {
    std::optional<double> wPlus, sWPlus, wMinus, sWMinus, contrast, sContrast, studentized;
    std::string note;
};
Weights Weigh(double b, double d, double S, double N);

// A row of the weights table: a class, or for a cumulative layer the classes up to it (ascending:
// its value and below; descending: its value and above), with cells, area and deposits summed.
struct ClassRow {
    std::int64_t value = 0;
    std::int64_t cells = 0;
    double area = 0;
    std::int64_t deposits = 0;
    Weights weights;
    // The class's own place after generalisation (unset for a missing class or when it failed).
    std::optional<std::int64_t> generalizedClass;
    std::optional<double> weight;
    std::optional<double> weightStd;
};

// A class of the generalised layer: cumulative layers have 2 (up to the chosen row, weight W+)
// and 1 (the rest, W-); a categorical layer keeps each significant class under its own value and
// pools the others under the lowest of them.
struct GeneralClass {
    std::int64_t id = 0;
    double area = 0;
    std::int64_t deposits = 0;
    double weight = 0;
    double weightStd = 0;
};

struct LayerWeights {
    std::string name;
    Type type = Type::categorical;
    double knownArea = 0;             // S, in units
    std::int64_t knownDeposits = 0;   // N
    std::vector<ClassRow> rows;       // the known classes, ascending values
    std::vector<ClassCount> missing;  // the missing classes' counts
    std::string method;               // the rule's name
    std::optional<std::int64_t> row;  // the chosen row's class (cumulative), or unset
    bool ok = false;
    std::string reason;                 // why not ok
    std::vector<GeneralClass> classes;  // empty when not ok
    std::vector<int> generalIndex;      // per row: its class's index into classes
    // Index into classes of a class value; -1 for a missing class (unknown) or one the counts
    // never held.
    int GeneralIndex(std::int64_t value) const;
};

// The layer's table and its generalisation from its class counts (any order; a value once).
// unitsPerCell converts cells to area. Throws WofeError for more than kMaxClasses classes, a
// class whose deposits reach its area, or none on its known area. A rule no row passes leaves
// ok false with the reason; the table stands.
LayerWeights WeighLayer(const std::string& name, Type type, std::span<const ClassCount> counts,
                        double unitsPerCell, const Generalization& rule);

// The fitted model: the prior from the study area's area A and deposits n, and every layer.
struct Model {
    double studyArea = 0;
    std::int64_t deposits = 0;
    double priorProbability = 0;
    double priorLogit = 0;
    std::vector<LayerWeights> layers;
};
// Throws WofeError when no deposit lies on the study area or the deposits fill it.
Model ModelOf(double studyArea, std::int64_t deposits, std::vector<LayerWeights> layers);

// The posterior of a cell whose layers stand at classes[k] (an index into layers[k].classes, -1
// unknown): logit = prior logit + the weights, P = 1/(1+e^-logit), Var(P) = P^2(1/n + the
// weights' variances) + for each unknown layer sum over its classes j of (P_j - P)^2 area_j / S.
struct CellPosterior {
    double probability = 0;
    double std = 0;
};
CellPosterior Posterior(const Model& model, std::span<const int> classes);

// The conditional-independence test over the unique conditions (one per combination of the
// layers' classes present): T = sum of P x area, s2(T) = sum of (area x std)^2, z = (T-n)/s(T),
// p = P(Z > z), rejected at 95 and 99 % above 1.645 and 2.326; ratio n/T.
struct Condition {
    double area = 0;
    double probability = 0;
    double std = 0;
};
struct Independence {
    double expected = 0;  // T
    std::int64_t observed = 0;
    double ratio = 0;
    double std = 0;
    double z = 0;
    double p = 0;
    bool rejected95 = false;
    bool rejected99 = false;
};
Independence TestIndependence(std::int64_t deposits, std::span<const Condition> conditions);

// The chi-square (1 degree of freedom) of the 2 x 2 table of deposits of every pair of layers
// with two classes; deposits[i] holds deposit i's class index in each layer (-1 unknown: left
// out), one entry per deposit counted. Unset when a row or column of the table is empty.
struct PairTest {
    std::size_t a = 0;
    std::size_t b = 0;
    std::optional<double> chiSquare;
    std::optional<double> p;
};
std::vector<PairTest> PairwiseChiSquares(const Model& model, std::span<const std::vector<int>> deposits);

}  // namespace quarnel::wofe
