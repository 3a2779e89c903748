#pragma once
// The BP classification job behind OnBPClass, with what a host may want to report besides the
// status: the cells classified and how many hold each class value, or in words why the job
// stopped (cause).
#include <cstdint>
#include <map>
#include <string>

namespace quarnel {

struct BPClassRequest {
    const char* networkFile;
    const char* outputGrid;
    const char* inputFiles;  // paths, each ended by '*'
    const char* inputKinds;  // kind codes, each ended by '*'
};

struct BPClassReport {
    int status = 0;
    std::string cause;
    int cells = 0;
    int rows = 0;
    int cols = 0;
    std::map<int, std::int64_t> classCounts;
};

BPClassReport RunBPClass(const BPClassRequest& request) noexcept;

}  // namespace quarnel
