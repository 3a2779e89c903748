#pragma once
// The statuses of the two BP jobs and their one-line meanings (for hosts and the CLI).
namespace quarnel {

inline constexpr int kBPTrainDone = 1;
inline constexpr int kBPTrainNoSampleFile = 2;
inline constexpr int kBPTrainFailed = 0;

inline constexpr int kBPClassDone = 1;
inline constexpr int kBPClassFailed = 0;
inline constexpr int kBPClassMisfit = 2;

const char* BPTrainStatusText(int status);
const char* BPClassStatusText(int status);

}  // namespace quarnel
