#include "cli/interrupt.h"

#include <atomic>
#include <csignal>
#include <memory>
#include <utility>

namespace quarnel::cli {
namespace {

std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");
std::atomic<int> scopeDepth{0};

extern "C" void OnInterrupt(int) {
    stopRequested.store(true);
    // The next Ctrl-C ends the process, for a user who will not wait for the step to end.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

InterruptScope::InterruptScope() {
    if (scopeDepth.fetch_add(1) == 0) std::signal(SIGINT, OnInterrupt);
}

InterruptScope::~InterruptScope() {
    if (scopeDepth.fetch_sub(1) == 1) std::signal(SIGINT, SIG_DFL);
}

bool StopRequested() {
    return stopRequested.load();
}

Progress StopOnInterrupt(Progress show) {
    return [scope = std::make_shared<InterruptScope>(), show = std::move(show)](const ProgressStep& step) {
        return (!show || show(step)) && !StopRequested();
    };
}

}  // namespace quarnel::cli
