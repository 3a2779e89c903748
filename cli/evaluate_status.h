#pragma once
// The statuses of the evaluate, plot and plot-curves commands; the texts are the status
// rows of docs/statuses.md, word for word.
namespace quarnel::cli {

enum EvaluateStatus {
    kEvaluateOk = 0,
    kEvaluateInputUnread = 1,
    kEvaluateInputsUnfit = 2,
    kEvaluateOutputUnwritten = 3,
};
const char* EvaluateStatusText(int status);

}  // namespace quarnel::cli
