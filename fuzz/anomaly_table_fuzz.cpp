// The anomaly table of hierarchy analysis, read by the whole job for anomaly ranking (target 0)
// and for the irregular-grid forecast (target 2), with its report and forecast in the scratch
// folder. Neither run may change the table.
#include <cstdint>

#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"

namespace {

// Three elements: geology (one), geophysics (two; the second names the table).
constexpr char kRanking[] =
    "QELFrmDECOMPOSE 0 1 1 0 0\n3 1\nFault 1 x\n2 2\nMag 1 x\nGrav 2 table\nout report\n";
constexpr char kForecast[] =
    "QELFrmDECOMPOSE 2 1 1 0 0\n3 1\nFault 1 x\n2 2\nMag 1 x\nGrav 2 table\nout report\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string table = scratch.Write("table", data, size);
    scratch.Enter();
    scratch.Write("ranking", kRanking);
    scratch.Write("forecast", kForecast);
    qelDecompos("ranking");
    qelDecompos("forecast");
    quarnel::fuzz::RequireUnchanged(table, data, size);
    return 0;
}
