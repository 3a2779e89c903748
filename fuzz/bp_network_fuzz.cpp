// The BP network file: the reader sizes the network from the counts on the first line, so a
// few bytes can ask for any size; a network it accepts must be complete for its counts. Then
// classification of a small grid with it, the class grid in the scratch folder.
#include <cstdint>
#include <cstdlib>
#include <exception>

#include "jobs/bp/bp_records.h"
#include "jobs/bp/network_file.h"
#include "jobs/frame/quarnel.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/job_inputs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quarnel::fuzz::Scratch& scratch = quarnel::fuzz::Scratch::Fresh();
    const std::string path = scratch.Write("network", data, size);
    const std::string grid = scratch.Write("grid", quarnel::fuzz::kSmallDsaa);
    OnBPClass(path.c_str(), scratch.Path("class").c_str(), (grid + "*").c_str(), "1*");
    quarnel::fuzz::RequireUnchanged(path, data, size);
    quarnel::BPNetwork network;
    try {
        if (quarnel::ReadNetworkFile(path.c_str(), network) != quarnel::NetworkFileStatus::ok) return 0;
    } catch (const std::exception&) {
        return 0;
    }
    const std::size_t inputs = std::size_t(network.inputCount);
    const std::size_t hidden = std::size_t(network.hiddenCount);
    const std::size_t outputs = std::size_t(network.outputCount);
    if (network.hiddenThreshold.size() != hidden || network.outputThreshold.size() != outputs ||
        network.weightInputHidden.size() != inputs * hidden ||
        network.weightHiddenOutput.size() != hidden * outputs) {
        std::abort();
    }
    return 0;
}
