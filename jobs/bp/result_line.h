#pragma once
// One line of the BP training result file, in GBK:
//   "样本序号为 %6d" (sample index from 0), "真正的类别号为: ", each target "%2d",
//   "计算的类别号为: ", each computed bit "%2d", "\n".
// A target wider than its field gets one blank before it, so two values never run together.
#include <string>

namespace quarnel {

std::string FormatResultLine(int sampleIndex, const int* targets, const int* bits, int outputCount);

}  // namespace quarnel
