// KVSGDA01 text grids: the grid layer's streaming reader over the whole grid, then the grid as
// the single evidence grid of a feature-analysis job, whose outputs stay in the scratch
// folder and which must leave the grid as it was.
#include <cstdint>
#include <cstdlib>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "formats/grid/kvsgda.h"

namespace {

// Reads the header and every value the header promises; the reader must never promise more
// values than the file can hold.
void ReadWholeGrid(const char* path, std::size_t size) {
    quarnel::KvsgdaReader reader;
    if (!reader.Open(path)) std::abort();
    quarnel::KvsgdaHeader header;
    if (!reader.ReadHeader(&header).ok()) return;
    const std::uint64_t cells = std::uint64_t(header.rows) * std::uint64_t(header.cols);
    if (header.rows < 1 || header.cols < 1 || cells > size) std::abort();
    float value = 0;
    for (std::uint64_t k = 0; k < cells; ++k) {
        if (!reader.Next(value).ok()) return;
    }
}

constexpr char kFeatureParams[] =
    "QelFrmFeater 1\n"
    "Au 1.5 3 g\n"
    "0 none\n"
    "1 score report\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("g", data, size);
    ReadWholeGrid(path.c_str(), size);
    scratch.Enter();
    scratch.Write("featureParams", kFeatureParams);
    qelFeater("featureParams");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    return 0;
}
