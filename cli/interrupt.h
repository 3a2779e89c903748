#pragma once
// Ctrl-C for the host's jobs that take a Progress. While an InterruptScope lives, the first SIGINT
// sets the process's one stop flag instead of ending the process (a second one ends it as
// usual); a Progress from StopOnInterrupt says stop once the flag is set, so the method throws
// quarnel::Stopped within one step and writes nothing. main turns Stopped into exit status
// kStoppedExitStatus. Outside every scope SIGINT keeps its default action: the design's jobs that
// report no progress end at once, as they always did.
#include "quarnel/progress.h"

namespace quarnel::cli {

// 128 + SIGINT, as a shell reports a job ended by Ctrl-C.
inline constexpr int kStoppedExitStatus = 130;

// Scopes nest (a workflow's scope around its steps' scopes); the outermost restores SIGINT's
// default action. For the main thread.
class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
};

// Whether a SIGINT arrived inside a scope (or RequestStop was called).
bool StopRequested();
// Sets the stop flag, as SIGINT inside a scope does.
void RequestStop();

// A Progress that passes each step to show (when given) and says stop once the flag is set (or
// show says stop).
Progress StopOnInterrupt(Progress show = {});

}  // namespace quarnel::cli
