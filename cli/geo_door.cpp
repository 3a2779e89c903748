#include "cli/geo_door.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <new>

#include "cli/interrupt.h"

namespace quarnel::cli {

void AddRasterOutputOptions(CLI::App* command, geo::WriteOptions& options) {
    command->add_option(
        "--format", options.format,
        "GDAL driver of the output rasters (GTiff, HFA, ENVI...; DSAA: the design's text grid); "
        "default: GeoTIFF for .tif/.tiff, else the design's format");
    command->add_flag("--float64", options.float64, "write Float64 values instead of Float32 (GDAL door)");
    command->add_option("--no-data", options.noData, "value written for no data (GDAL door; default: NaN)");
    command->add_flag("--convert", options.convert,
                      "let a format that cannot hold Float32 values (PNG, JPEG...) convert them; "
                      "values are lost");
}

bool TakesGdalDoor(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                   const geo::WriteOptions& options) {
    if (!options.format.empty() || options.float64 || options.noData || options.convert) return true;
    for (const std::string& output : outputs)
        if (geo::IsGdalOutput(output, options)) return true;
    for (const std::string& input : inputs) {
        std::error_code error;
        if (std::filesystem::is_regular_file(input, error) && !geo::IsDesignGrid(input) &&
            geo::IsGdalRaster(input))
            return true;
    }
    return false;
}

JobOutput GdalDoorOutput(const char* command, int doneStatus, const char* (*meaning)(int), int failedStatus,
                         const std::function<void(JobOutput&)>& run) {
    JobOutput out = StatusOutput(command, true, doneStatus, meaning(doneStatus), {});
    try {
        run(out);
    } catch (const Stopped&) {
        throw;
    } catch (const std::bad_alloc&) {
        out = StatusOutput(command, false, failedStatus, meaning(failedStatus), "out of memory");
    } catch (const std::exception& error) {
        out = StatusOutput(command, false, failedStatus, meaning(failedStatus), error.what());
    }
    return out;
}

int RunGdalDoor(const char* command, bool json, int doneStatus, const char* (*meaning)(int), int failedStatus,
                const std::function<void(JobOutput&)>& run) {
    return Emit(GdalDoorOutput(command, doneStatus, meaning, failedStatus, run), json);
}

}  // namespace quarnel::cli
