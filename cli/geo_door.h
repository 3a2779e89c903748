#pragma once
// How a job command chooses its door. The design's door (the exported job, byte for byte) serves
// design grids in and design grids out, and files no GDAL driver recognises (the design's job
// says what is wrong with them); the GDAL door (geo/) serves a run with any other raster in, a
// GeoTIFF (.tif/.tiff) out or a --format named. Both compute with the same core.
#include <functional>
#include <string>
#include <vector>

#include "cli/job_output.h"
#include "geo/raster_writer.h"

namespace CLI {
class App;
}  // namespace CLI

namespace quarnel::cli {

// --format and --float64, for commands that write rasters.
void AddRasterOutputOptions(CLI::App* command, geo::WriteOptions& options);

bool TakesGdalDoor(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                   const geo::WriteOptions& options);

// Runs a GDAL-door job: run fills output (outputs, results, summary) on success; a failure
// (geo::GeoError or any other exception) becomes status failedStatus with the cause. SIGINT
// stops it (cli/interrupt.h) where run passes StopOnInterrupt() to the method: Stopped passes on.
JobOutput GdalDoorOutput(const char* command, int doneStatus, const char* (*meaning)(int), int failedStatus,
                         const std::function<void(JobOutput&)>& run);
int RunGdalDoor(const char* command, bool json, int doneStatus, const char* (*meaning)(int), int failedStatus,
                const std::function<void(JobOutput&)>& run);

}  // namespace quarnel::cli
