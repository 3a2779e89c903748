#pragma once
// The activation and forward pass shared by BP training and classification.
//
// BPSigmoid(x) = 1 / (1 / 2.71^x + 1), evaluated in that order (power, reciprocal, plus one,
// reciprocal) with the base 2.71, not e, the power being Power271's (bp/power.h), the same bits
// on every platform. It saturates by itself: 0 for a large negative x, 1 for a large positive one.
// BPForward runs the inputCount values of x through the network: each hidden node's sum of
// x[i] * weightInputHidden[i][j] over ascending i, plus its threshold, through the activation
// into h; then each output's sum of h[j] * weightHiddenOutput[j][k] over ascending j, plus its
// threshold, into o.
#include "bp/bp_records.h"

namespace quarnel {

double BPSigmoid(double x);

void BPForward(const BPNetwork& network, const double* x, double* h, double* o);

// The output layer alone, from hidden values h.
void BPForwardOutputs(const BPNetwork& network, const double* h, double* o);

}  // namespace quarnel
