#include "geo/convert.h"

#include <algorithm>
#include <vector>

namespace quarnel::geo {

ConvertResult ConvertRaster(const std::string& input, const std::string& output, const WriteOptions& options,
                            int band, const Progress& progress) {
    RefuseOutputsOverInputs({output}, {input});
    const Raster raster = Raster::Open(input);
    if (band < 0 || band > raster.BandCount())
        throw GeoError(input + ": has no band " + std::to_string(band) + " (it has " +
                       std::to_string(raster.BandCount()) + ")");
    std::vector<int> bands;
    for (int b = 1; b <= raster.BandCount(); ++b)
        if (band == 0 || b == band) bands.push_back(b);
    const OutputKind kind = OutputKindOf(output, options);
    if (bands.size() > 1 && (kind == OutputKind::dsaa || kind == OutputKind::kvsgda))
        throw GeoError(input + ": has " + std::to_string(bands.size()) + " bands, but " + output +
                       " holds one (choose it with --band)");
    const GridFrame& frame = raster.frame();
    RasterWriter writer(output, frame, int(bands.size()), options.noData, options);
    const int strip = std::max(1, raster.PreferredRowCount());
    std::vector<double> values(std::size_t(strip) * std::size_t(frame.cols));
    for (std::size_t k = 0; k < bands.size(); ++k) {
        const int to = int(k) + 1;
        writer.SetBandName(to, raster.BandName(bands[k]));
        for (int first = 0; first < frame.rows; first += strip) {
            const int count = std::min(strip, frame.rows - first);
            raster.ReadRows(bands[k], first, count, values.data());
            writer.WriteRows(to, first, count, values.data());
            ReportProgress(progress, {"row", std::int64_t(k) * frame.rows + first + count,
                                      std::int64_t(bands.size()) * frame.rows, 0});
        }
    }
    writer.Commit();
    return {int(bands.size()), frame.rows, frame.cols, raster.Format()};
}

}  // namespace quarnel::geo
