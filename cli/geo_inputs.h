#pragma once
// What the commands reading rasters and points through geo/ share: the options that say how a
// point file is read, and the refusal of inputs that never end.
#include <CLI/CLI.hpp>
#include <string>

#include "geo/points.h"

namespace quarnel::cli {

void AddPointOptions(CLI::App* command, geo::PointOptions& options);

// Throws geo::GeoError "PATH: not a regular file" when path names something that exists but is
// no regular file (a FIFO, a device, a folder), which a reader could wait on for ever; a path
// that does not exist is left to GDAL, which also opens names of its virtual file systems.
void RequireRegularFile(const std::string& path);

}  // namespace quarnel::cli
