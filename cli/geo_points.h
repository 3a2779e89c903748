#pragma once
// The options that say how a point file is read (geo/points.h), shared by the commands that
// take points.
#include <CLI/CLI.hpp>

#include "geo/points.h"

namespace quarnel::cli {

void AddPointOptions(CLI::App* command, geo::PointOptions& options);

}  // namespace quarnel::cli
