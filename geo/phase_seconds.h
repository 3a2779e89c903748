#pragma once
// Processor seconds (every thread of the process) a method that learns from samples spends in
// each of its phases, reported beside its results so that a user (and bench/) sees where the time
// goes: drawing the samples, fitting, and mapping (reading, predicting and writing every cell).
#include <ctime>

namespace quarnel::geo {

struct PhaseSeconds {
    double samples = 0;
    double fit = 0;
    double map = 0;
};

// Processor seconds of the process so far.
inline double ProcessorSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace quarnel::geo
