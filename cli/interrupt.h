#pragma once
// Ctrl-C for the host's jobs that take a Progress. While a Progress from StopOnInterrupt (or an
// InterruptScope) lives, the first SIGINT sets the process's one stop flag instead of ending the
// process (a second one ends it as usual), and that Progress says stop once the flag is set, so
// the method throws quarnel::Stopped within one step and writes nothing. main turns Stopped into
// exit status kStoppedExitStatus. Otherwise SIGINT keeps its default action: a job that reports
// no progress (the design's exported jobs) ends at once, as it always did.
#include "quarnel/progress.h"

namespace quarnel::cli {

// 128 + SIGINT, as a shell reports a job ended by Ctrl-C.
inline constexpr int kStoppedExitStatus = 130;

// Scopes nest (a workflow's scope around its steps' Progress); the last to end restores SIGINT's
// default action.
class InterruptScope {
  public:
    InterruptScope();
    ~InterruptScope();
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;
};

// Whether a SIGINT arrived inside a scope.
bool StopRequested();

// A Progress that holds an InterruptScope for as long as it (or a copy) lives, passes each step
// to show (when given) and says stop once the flag is set (or show says stop). Made for one
// method call, `Method(..., StopOnInterrupt())`, or for every step of a run.
Progress StopOnInterrupt(Progress show = {});

}  // namespace quarnel::cli
