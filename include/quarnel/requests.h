#pragma once
// Each method's request: what a caller asks of it, with every parameter declared once
// (include/quarnel/parameters.h) and every default taken from that declaration. A request holds
// values only; the doors (the workflow file, the host, Python) fill it and check it against the
// declarations. Result keys are the names the workflow's summary, its report and the tests share.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quarnel/parameters.h"

namespace quarnel::params {

// [[layers]]: one evidence layer and how it is prepared.
namespace layer {
inline constexpr std::string_view kPrepareChoices[] = {"classes", "normalize", "code", "window-mean",
                                                       "window-deviation"};
inline constexpr Parameter kName{
    "name", Kind::text, "",         0,
    0,      0,          "required", "the layer's name: letters, digits, '_' and '-' (it names its files)"};
inline constexpr Parameter kRaster{
    "raster",   Kind::path,
    "",         0,
    0,          0,
    "required", "the evidence raster, any format GDAL reads (relative to the workflow file)"};
inline constexpr Parameter kPrepare{
    "prepare",
    Kind::choice,
    "",
    0,
    0,
    0,
    "",
    "how the layer is prepared: as it is, rescaled to 0..1, coded -1/0/+1, or "
    "the mean or deviation of windows",
    kPrepareChoices};
// prepare = "code"
inline constexpr Parameter kLower{
    "lower", Kind::number, "layer units", -3.4e38, 3.4e38, 0, "", "code: -1 at or below this value"};
inline constexpr Parameter kUpper{
    "upper", Kind::number, "layer units", -3.4e38, 3.4e38, 0, "", "code: +1 at or above this value"};
inline constexpr Parameter kInvert{
    "invert", Kind::flag, "", 0, 1, 0, "", "code: the opposite signs (low values favourable)"};
// prepare = "window-mean" or "window-deviation"
inline constexpr Parameter kWindow{
    "window", Kind::integer, "cells", 1, 1048576, 5, "", "window-mean, window-deviation: the block's side"};
inline constexpr const Parameter* kAll[] = {&kName,  &kRaster, &kPrepare, &kLower,
                                            &kUpper, &kInvert, &kWindow};
}  // namespace layer

enum class Preparation { classes, normalize, code, windowMean, windowDeviation };

struct LayerRequest {
    std::string name;
    std::string raster;
    Preparation prepare = Preparation(int(layer::kPrepare.value));
    float lower = float(layer::kLower.value);
    float upper = float(layer::kUpper.value);
    bool invert = layer::kInvert.value != 0;
    int window = int(layer::kWindow.value);
};

// [deposits]: the known deposits, from which samples, model units and validation come.
namespace deposits {
inline constexpr Parameter kPath{
    "path",     Kind::path,
    "",         0,
    0,          0,
    "required", "the deposits: CSV, GeoPackage, shapefile... (relative to the workflow file)"};
inline constexpr Parameter kXColumn{"x_column",
                                    Kind::text,
                                    "",
                                    0,
                                    0,
                                    0,
                                    "x, easting, lon or longitude",
                                    "CSV: the column of the x coordinates"};
inline constexpr Parameter kYColumn{"y_column",
                                    Kind::text,
                                    "",
                                    0,
                                    0,
                                    0,
                                    "y, northing, lat or latitude",
                                    "CSV: the column of the y coordinates"};
inline constexpr Parameter kCrs{
    "crs", Kind::text, "", 0, 0, 0, "the rasters' CRS", "CSV: the coordinates' CRS (EPSG:4326, WKT, ...)"};
inline constexpr const Parameter* kAll[] = {&kPath, &kXColumn, &kYColumn, &kCrs};
}  // namespace deposits

struct DepositsRequest {
    std::string path;
    std::string xColumn;
    std::string yColumn;
    std::string crs;
};

// [bp]: BP network training and classification.
namespace bp {
inline constexpr Parameter kLayers{"layers",
                                   Kind::names,
                                   "",
                                   0,
                                   0,
                                   0,
                                   "every layer",
                                   "the layers the network takes, in order; each band is one input"};
inline constexpr Parameter kHidden{"hidden", Kind::integer, "nodes",       1, 1000,
                                   0,        "inputs + 1",  "hidden nodes"};
inline constexpr Parameter kMaxIterations{
    "max_iterations", Kind::integer, "epochs", 0,
    100000000,        1000,          "",       "the largest number of training epochs"};
inline constexpr Parameter kErrorLimit{
    "error_limit", Kind::number, "", 0,
    1000000,       0.01,         "", "training stops once an epoch's error is at or below it"};
inline constexpr Parameter kBackground{
    "background",
    Kind::integer,
    "cells",
    1,
    100000000,
    0,
    "as many as deposit cells",
    "background samples (target 0), drawn among the cells without deposits"};
inline constexpr Parameter kSeed{"seed",     Kind::integer,
                                 "",         0,
                                 2147483647, 1,
                                 "",         "seed of the background draw and of the initial weights"};
inline constexpr Parameter kMinDistance{
    "min_distance",
    Kind::number,
    "map units",
    0,
    1e15,
    0,
    "",
    "a background cell's centre lies at least this far from every training deposit"};
inline constexpr Parameter kShuffle{
    "shuffle", Kind::flag, "", 0,
    1,         1,          "", "each epoch presents the samples in a new order drawn from seed + 1"};
inline constexpr Parameter kBalance{
    "balance", Kind::flag,
    "",        0,
    1,         1,
    "",        "deposit and background samples weigh alike in training, however many of each"};
inline constexpr const Parameter* kAll[] = {&kLayers,      &kHidden,     &kMaxIterations,
                                            &kErrorLimit,  &kBackground, &kSeed,
                                            &kMinDistance, &kShuffle,    &kBalance};
}  // namespace bp

struct BpRequest {
    std::vector<std::string> layers;  // empty: every layer
    std::optional<int> hidden;        // none: inputs + 1
    int maxIterations = int(bp::kMaxIterations.value);
    double errorLimit = bp::kErrorLimit.value;
    std::optional<int> background;  // none: as many as deposit cells
    std::uint32_t seed = std::uint32_t(bp::kSeed.value);
    double minDistance = bp::kMinDistance.value;
    bool shuffle = bp::kShuffle.value != 0;
    bool balance = bp::kBalance.value != 0;
};

// [hierarchy]: hierarchy analysis; [[hierarchy.levels]] and their elements.
namespace hierarchy {
inline constexpr std::string_view kLevelChoices[] = {"geology", "geophysics", "geochemistry",
                                                     "remote-sensing"};
inline constexpr Parameter kLevels{
    "levels", Kind::tables, "", 1, 4, 0, "required", "the levels present, each with its elements"};
inline constexpr Parameter kLevel{"level",    Kind::choice,  "",           0, 0, 0,
                                  "required", "which level", kLevelChoices};
inline constexpr Parameter kImportance{
    "importance", Kind::number,
    "",           0.001,
    1000,         1,
    "",           "relative importance (judgement matrices take ratios of importances)"};
inline constexpr Parameter kElements{"elements", Kind::tables,
                                     "",         1,
                                     10,         0,
                                     "required", "the level's layers: { layer = NAME, importance = N }"};
inline constexpr Parameter kLayer{"layer", Kind::text, "", 0, 0, 0, "required", "a layer's name"};
inline constexpr const Parameter* kAll[] = {&kLevels};
inline constexpr const Parameter* kLevelAll[] = {&kLevel, &kImportance, &kElements};
inline constexpr const Parameter* kElementAll[] = {&kLayer, &kImportance};
}  // namespace hierarchy

struct ElementRequest {
    std::string layer;
    float importance = float(hierarchy::kImportance.value);
};

struct LevelRequest {
    int level = 0;  // index into hierarchy::kLevelChoices
    float importance = float(hierarchy::kImportance.value);
    std::vector<ElementRequest> elements;
};

struct HierarchyRequest {
    std::vector<LevelRequest> levels;  // in level order, each level at most once
};

// [feature]: characteristic (feature) analysis; [[feature.variables]].
namespace feature {
inline constexpr std::string_view kMethodChoices[] = {"vector-length", "principal-component"};
inline constexpr Parameter kMethod{"method",      Kind::choice, "", 0, 0, 0, "", "how the weights are formed",
                                   kMethodChoices};
inline constexpr Parameter kModelUnits{
    "model_units", Kind::flag, "", 0, 1, 1, "", "the product matrix over the deposit cells only"};
inline constexpr Parameter kVariables{
    "variables", Kind::tables, "", 1, 50, 0, "required", "the layers analysed, each with its bounds"};
inline constexpr Parameter kLayer{"layer", Kind::text, "", 0, 0, 0, "required", "a layer's name"};
inline constexpr Parameter kLower{
    "lower", Kind::number, "layer units", -3.4e38, 3.4e38, 0, "", "coded -1 at or below this value"};
inline constexpr Parameter kUpper{
    "upper", Kind::number, "layer units", -3.4e38, 3.4e38, 0, "", "coded +1 at or above this value"};
inline constexpr const Parameter* kAll[] = {&kMethod, &kModelUnits, &kVariables};
inline constexpr const Parameter* kVariableAll[] = {&kLayer, &kLower, &kUpper};
}  // namespace feature

enum class FeatureMethod { vectorLength, principalComponent };

struct VariableRequest {
    std::string layer;
    float lower = float(feature::kLower.value);
    float upper = float(feature::kUpper.value);
};

struct FeatureRequest {
    FeatureMethod method = FeatureMethod(int(feature::kMethod.value));
    bool modelUnits = feature::kModelUnits.value != 0;
    std::vector<VariableRequest> variables;
};

// [wofe]: weights of evidence; [[wofe.evidence]] says how each layer's classes are taken.
namespace wofe {
inline constexpr std::string_view kCountChoices[] = {"points", "cells"};
inline constexpr std::string_view kTypeChoices[] = {"categorical", "ascending", "descending"};
inline constexpr Parameter kLayers{"layers", Kind::names, "", 0, 0, 0, "every layer",
                                   "the evidence layers, each holding integer classes"};
inline constexpr Parameter kUnitArea{"unit_area", Kind::text, "km2", 0, 0, 0, "1",
                                     "the unit cell's area in km2 (a projected CRS), or cell: one raster cell"};
inline constexpr Parameter kCount{"count", Kind::choice, "", 0, 0, 0, "",
                                  "points: every deposit counts; cells: a cell with deposits counts once",
                                  kCountChoices};
inline constexpr Parameter kGeneralize{"generalize", Kind::text, "", 0, 0, 0, "max-significant-contrast",
                                       "the row splitting a cumulative layer: max-contrast, max-significant-contrast, "
                                       "max-studentized or value:V; categorical: none keeps every class, any other "
                                       "pools the classes short of min_studentized"};
inline constexpr Parameter kMinStudentized{"min_studentized", Kind::number, "", 0, 1000, 2, "",
                                           "Z: the studentised contrast a class or row must reach"};
inline constexpr Parameter kMask{"mask", Kind::path, "", 0, 0, 0, "none",
                                 "a raster of the layers' grid: the study area is where it is not 0"};
inline constexpr Parameter kEvidence{"evidence", Kind::tables, "", 0, 1000, 0, "categorical, every class known",
                                     "how a layer's classes are taken"};
inline constexpr Parameter kLayer{"layer", Kind::text, "", 0, 0, 0, "required", "a layer's name"};
inline constexpr Parameter kType{"type", Kind::choice, "", 0, 0, 0, "",
                                 "categorical, or cumulative from the lowest (ascending) or highest class",
                                 kTypeChoices};
inline constexpr Parameter kMissing{"missing", Kind::integer, "", -2147483648.0, 2147483647, 0, "none",
                                    "the class that means unknown"};
inline constexpr Parameter kBreaks{"breaks", Kind::text, "layer units", 0, 0, 0, "none",
                                   "ascending breaks classing a continuous layer (below the first: class 1)"};
inline constexpr const Parameter* kAll[] = {&kLayers, &kUnitArea, &kCount, &kGeneralize,
                                            &kMinStudentized, &kMask, &kEvidence};
inline constexpr const Parameter* kEvidenceAll[] = {&kLayer, &kType, &kMissing, &kBreaks};
}  // namespace wofe

// The words (unit_area, generalize, missing, breaks) are checked where the run starts.
struct WofeEvidenceRequest {
    std::string layer;
    int type = int(wofe::kType.value);  // index into wofe::kTypeChoices
    std::optional<std::int64_t> missing;
    std::string breaks;
};

struct WofeRequest {
    std::vector<std::string> layers;  // empty: every layer
    std::string unitArea;             // empty: 1 km2
    bool countCells = false;
    std::string generalize;  // empty: max-significant-contrast
    double minStudentized = wofe::kMinStudentized.value;
    std::string mask;
    std::vector<WofeEvidenceRequest> evidence;
};

// [fuzzy]: fuzzy overlay; [[fuzzy.inputs]], one layer and its membership each.
namespace fuzzy {
inline constexpr std::string_view kOperatorChoices[] = {"and", "or", "product", "sum", "gamma"};
inline constexpr std::string_view kMembershipChoices[] = {"linear",   "large",   "small",
                                                          "gaussian", "classes", "as-is"};
inline constexpr Parameter kOperator{"operator",
                                     Kind::choice,
                                     "",
                                     0,
                                     0,
                                     0,
                                     "",
                                     "how the memberships combine: min, max, product, 1 - prod(1 - m), "
                                     "sum^gamma x product^(1 - gamma)",
                                     kOperatorChoices};
inline constexpr Parameter kGamma{"gamma", Kind::number, "", 0, 1, 0.9, "", "gamma: the weight of the sum"};
inline constexpr Parameter kInputs{
    "inputs", Kind::tables, "", 1, 1000, 0, "required", "the layers combined, each with its membership"};
inline constexpr Parameter kLayer{"layer", Kind::text, "", 0, 0, 0, "required", "a layer's name"};
inline constexpr Parameter kMembership{
    "membership", Kind::choice, "", 0, 0, 5, "", "how values become memberships in 0..1", kMembershipChoices};
inline constexpr Parameter kLow{
    "low", Kind::number, "layer units", -3.4e38, 3.4e38, 0, "", "linear: membership 0 at or below it"};
inline constexpr Parameter kHigh{
    "high", Kind::number, "layer units", -3.4e38, 3.4e38, 1, "", "linear: membership 1 at or above it"};
inline constexpr Parameter kMidpoint{
    "midpoint",
    Kind::number,
    "layer units",
    -3.4e38,
    3.4e38,
    1,
    "",
    "large, small (above 0), gaussian: the value of membership 0.5 (gaussian 1)"};
inline constexpr Parameter kSpread{"spread",
                                   Kind::number,
                                   "",
                                   0,
                                   3.4e38,
                                   0,
                                   "5 (large, small), 0.1 (gaussian)",
                                   "large, small, gaussian: the steepness, above 0"};
inline constexpr Parameter kValues{
    "values", Kind::text, "", 0, 0, 0, "none", "classes: each value's membership, \"V=M,V=M,...\""};
inline constexpr const Parameter* kAll[] = {&kOperator, &kGamma, &kInputs};
inline constexpr const Parameter* kInputAll[] = {&kLayer,    &kMembership, &kLow,   &kHigh,
                                                 &kMidpoint, &kSpread,     &kValues};
}  // namespace fuzzy

struct FuzzyInputRequest {
    std::string layer;
    std::string membership;  // as the host's --membership spells it ("linear:0,10")
};

struct FuzzyRequest {
    int op = int(fuzzy::kOperator.value);  // index into fuzzy::kOperatorChoices
    double gamma = fuzzy::kGamma.value;
    std::vector<FuzzyInputRequest> inputs;
};

// [logistic]: logistic regression of the deposits against background cells.
namespace logistic {
inline constexpr Parameter kLayers{"layers",
                                   Kind::names,
                                   "",
                                   0,
                                   0,
                                   0,
                                   "every layer",
                                   "the layers the regression takes, in order; each band is one input"};
inline constexpr Parameter kBackground{
    "background",
    Kind::integer,
    "cells",
    1,
    100000000,
    0,
    "as many as deposit cells",
    "background samples (target 0), drawn among the cells without deposits"};
inline constexpr Parameter kSeed{
    "seed", Kind::integer, "", 0, 2147483647, 1, "", "seed of the background draw"};
inline constexpr Parameter kMinDistance{
    "min_distance",
    Kind::number,
    "map units",
    0,
    1e15,
    0,
    "",
    "a background cell's centre lies at least this far from every training deposit"};
inline constexpr std::string_view kSamplesChoices[] = {"background", "all"};
inline constexpr Parameter kSamples{"samples",
                                    Kind::choice,
                                    "",
                                    0,
                                    0,
                                    0,
                                    "",
                                    "background: the deposit cells against a drawn background, the intercept "
                                    "corrected for the draw; all: every cell with data, pooled by condition "
                                    "(or read again at each Newton step beyond 1000000 conditions)",
                                    kSamplesChoices};
inline constexpr Parameter kCategorical{"categorical",
                                        Kind::names,
                                        "",
                                        0,
                                        0,
                                        0,
                                        "none",
                                        "layers of classes: each class but the first (smallest) one 0/1 input, "
                                        "named NAME=CLASS"};
inline constexpr Parameter kL2{
    "l2", Kind::number, "", 0, 1e15, 0, "", "L2 penalty on the slopes, l2/2 |w|^2"};
inline constexpr Parameter kMaxIterations{
    "max_iterations", Kind::integer, "steps", 1, 10000, 100, "", "the most Newton steps of the fit"};
inline constexpr const Parameter* kAll[] = {&kLayers, &kCategorical, &kSamples,      &kBackground,
                                            &kSeed,   &kMinDistance, &kL2,           &kMaxIterations};
}  // namespace logistic

struct LogisticRequest {
    std::vector<std::string> layers;  // empty: every layer
    std::vector<std::string> categorical;
    bool allCells = logistic::kSamples.value != 0;  // samples = "all"
    std::optional<int> background;                  // none: as many as deposit cells
    std::uint32_t seed = std::uint32_t(logistic::kSeed.value);
    double minDistance = logistic::kMinDistance.value;
    double l2 = logistic::kL2.value;
    int maxIterations = int(logistic::kMaxIterations.value);
};

// [trees]: gradient-boosted trees or a random forest of the deposits against background cells.
namespace trees {
inline constexpr std::string_view kKindChoices[] = {"boosting", "forest"};
inline constexpr Parameter kLayers{"layers",
                                   Kind::names,
                                   "",
                                   0,
                                   0,
                                   0,
                                   "every layer",
                                   "the layers the trees take, in order; each band is one input"};
inline constexpr Parameter kKind{"kind",
                                 Kind::choice,
                                 "",
                                 0,
                                 0,
                                 0,
                                 "",
                                 "boosting: trees grown one after another on the errors so far; forest: "
                                 "trees grown side by side on subsamples, averaged",
                                 kKindChoices};
inline constexpr Parameter kTrees{"trees", Kind::integer, "", 1, 100000, 100, "", "the number of trees"};
inline constexpr Parameter kDepth{"depth", Kind::integer, "splits", 1, 30, 4, "", "the deepest a tree grows"};
inline constexpr Parameter kLearningRate{"learning_rate",
                                         Kind::number,
                                         "",
                                         0.0001,
                                         1,
                                         0.1,
                                         "",
                                         "boosting: each tree's shrinkage (a forest takes 1)"};
inline constexpr Parameter kSubsample{
    "subsample", Kind::number, "share", 0.01, 1, 0.8, "", "the share of the samples each tree sees"};
inline constexpr Parameter kBackground{
    "background",
    Kind::integer,
    "cells",
    1,
    100000000,
    0,
    "as many as deposit cells",
    "background samples (target 0), drawn among the cells without deposits; the map's log-odds are "
    "corrected for the draw"};
inline constexpr Parameter kSeed{"seed",     Kind::integer,
                                 "",         0,
                                 2147483647, 1,
                                 "",         "seed of the background draw, the subsamples and the folds"};
inline constexpr Parameter kMinDistance{
    "min_distance",
    Kind::number,
    "map units",
    0,
    1e15,
    0,
    "",
    "a background cell's centre lies at least this far from every deposit"};
inline constexpr Parameter kFolds{"folds", Kind::integer,
                                  "",      2,
                                  100,     0,
                                  "none",  "cross-validation: held-out log loss and AUC of this many folds"};
inline constexpr const Parameter* kAll[] = {&kLayers,    &kKind,       &kTrees, &kDepth,       &kLearningRate,
                                            &kSubsample, &kBackground, &kSeed,  &kMinDistance, &kFolds};
}  // namespace trees

struct TreesRequest {
    std::vector<std::string> layers;     // empty: every layer
    int kind = int(trees::kKind.value);  // index into trees::kKindChoices
    int trees = int(trees::kTrees.value);
    int depth = int(trees::kDepth.value);
    double learningRate = trees::kLearningRate.value;
    double subsample = trees::kSubsample.value;
    std::optional<int> background;  // none: as many as deposit cells
    std::uint32_t seed = std::uint32_t(trees::kSeed.value);
    double minDistance = trees::kMinDistance.value;
    std::optional<int> folds;
};

// [validation]: evaluation of every map, and the deposits kept back for the prediction rate.
// `quarnel evaluate` takes the same two (--holdout, --seed).
namespace validation {
inline constexpr Parameter kHoldout{
    "holdout", Kind::number,
    "share",   0.01,
    0.99,      0,
    "none",    "the share of deposits kept back from the methods, for the prediction rate"};
inline constexpr Parameter kSeed{
    "seed", Kind::integer, "", 0, 2147483647, 0, "", "seed of the holdout split"};
inline constexpr Parameter kBlocks{
    "blocks", Kind::number, "map units", 1, 1e15, 0, "none",
    "a spatial holdout: square blocks of this side, not cells, are kept back or not as one"};
inline constexpr const Parameter* kAll[] = {&kHoldout, &kSeed, &kBlocks};
}  // namespace validation

struct ValidationRequest {
    std::optional<double> holdout;
    std::optional<double> blocks;
    std::uint32_t seed = std::uint32_t(validation::kSeed.value);
};

// The workflow file's top level.
namespace run {
inline constexpr Parameter kOutput{
    "output", Kind::path, "",         0,
    0,        0,          "required", "the output folder (relative to the workflow file; -o overrides it)"};
inline constexpr Parameter kLayers{
    "layers", Kind::tables, "", 1, 1000, 0, "required", "the evidence layers, one [[layers]] table each"};
inline constexpr const Parameter* kAll[] = {&kOutput, &kLayers};
}  // namespace run

// The keys of a workflow run's summary (summary.json, Python's quarnel.run) and of each step.
namespace result {
inline constexpr std::string_view kWorkflow = "workflow";
inline constexpr std::string_view kOutput = "output";
inline constexpr std::string_view kOk = "ok";
inline constexpr std::string_view kLayers = "layers";
inline constexpr std::string_view kSteps = "steps";
inline constexpr std::string_view kDepositsRead = "deposits_read";
inline constexpr std::string_view kDepositSplit = "deposit_split";
inline constexpr std::string_view kBpSamples = "bp_samples";
inline constexpr std::string_view kModelUnits = "feature_model_units";
inline constexpr std::string_view kValidation = "validation";
// Each step: whether it succeeded, why not, what it wrote, what it found.
inline constexpr std::string_view kStepOk = "ok";
inline constexpr std::string_view kCause = "cause";
inline constexpr std::string_view kOutputs = "outputs";
inline constexpr std::string_view kResults = "results";
// The steps.
inline constexpr std::string_view kBpTrain = "bp_train";
inline constexpr std::string_view kBpClassify = "bp_classify";
inline constexpr std::string_view kHierarchy = "hierarchy";
inline constexpr std::string_view kFeature = "feature";
inline constexpr std::string_view kWofe = "wofe";
inline constexpr std::string_view kFuzzy = "fuzzy";
inline constexpr std::string_view kLogistic = "logistic";
inline constexpr std::string_view kTrees = "trees";
}  // namespace result

}  // namespace quarnel::params
