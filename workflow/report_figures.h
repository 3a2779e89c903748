#pragma once
// What the run report shows of a raster beyond a method's own numbers: how the area and the
// deposits share out among its classes, and a method's map classed into its top 10, 20 and 30 %
// of the area. A raster's classes are a coded layer's codes (named favourable / unfavourable by
// their bounds), a class layer's values, or, for scores, the top areas. Rasters are read whole,
// as their pictures are.
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "geo/points.h"
#include "geo/raster.h"
#include "plot/plot.h"

namespace quarnel::workflow {

// A raster's classes: each cell's class value (NaN where no data) and the classes' names in
// the legend's order.
struct Classing {
    std::vector<double> values;
    std::vector<plot::ClassName> classes;
};

// The codes +1, 0 and -1 of a layer coded at lower and upper (invert: low values favourable).
std::vector<plot::ClassName> CodedClasses(double lower, double upper, bool invert);
// The values of a class layer, named by themselves; empty when it holds more than
// plot::kMostClasses values (then it is scores).
std::vector<plot::ClassName> ValueClasses(const std::vector<double>& values);
// Scores classed into the top 10 %, the next 10 %, the next 10 % of the cells with data, and the
// rest (values 1, 2, 3, 4); tied scores share a class, so a class may take more. The names give
// the share of the area each class and those above it take, and its lowest score.
Classing TopAreas(const std::vector<double>& values);

// One row a class: its name, its share of the cells with data, and the shares of the training
// and held-out deposits on cells with data that lie in it, with the ratio of deposit share to
// area share (above 1: the class holds more deposits than its area would). The first row names
// the columns; the held-out columns only when there are held-out deposits.
nlohmann::ordered_json ShareTable(const Classing& classing, const geo::GridFrame& frame,
                                  const std::vector<geo::Point>& training,
                                  const std::vector<geo::Point>& heldOut);

// Per class of TopAreas the share of the deposits (held-out ones if any, else training) in it
// and every class above it: the legend's "top 10 %: 45 %".
std::vector<plot::ClassName> CumulativeNames(const Classing& classing, const geo::GridFrame& frame,
                                             const std::vector<geo::Point>& judged);

// The classed map drawn with both sets of deposits; false (and cause) when it cannot be.
bool DrawClassedMap(const Classing& classing, const geo::GridFrame& frame,
                    const std::vector<geo::Point>& training, const std::vector<geo::Point>& heldOut,
                    const std::string& title, const std::string& legendTitle, const std::string& path,
                    std::string& cause);

}  // namespace quarnel::workflow
