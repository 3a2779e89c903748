#pragma once
// The core's Progress for a call that runs with the GIL released. Each step (at most every 20 ms
// when no callback is given) takes the GIL briefly and runs Python's signal handlers, so Ctrl-C
// stops the core; a given callback is called with (done, total, value) and stops it by returning
// False or raising. After the call, the binding raises what stopped it: the pending exception
// (KeyboardInterrupt, the callback's) or quarnel.Stopped for a False return.
#include <pybind11/pybind11.h>

#include <chrono>

#include "quarnel/progress.h"

namespace quarnel::python {

class PythonProgress {
  public:
    // callback: a callable or None.
    explicit PythonProgress(pybind11::object callback) : callback_(std::move(callback)) {}

    // Valid while this object lives; called on the core's thread without the GIL.
    Progress Get() {
        return [this](const ProgressStep& step) { return GoOn(step); };
    }

    // With the GIL held, after the core stopped: raises the reason.
    [[noreturn]] void Raise() const {
        if (pythonError_) throw pybind11::error_already_set();
        throw Stopped();
    }

  private:
    bool GoOn(const ProgressStep& step) {
        const auto now = std::chrono::steady_clock::now();
        if (callback_.is_none() && now - lastCheck_ < std::chrono::milliseconds(20)) return true;
        lastCheck_ = now;
        pybind11::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0) return Failed();
        if (callback_.is_none()) return true;
        try {
            const pybind11::object goOn = callback_(step.done, step.total, step.value);
            return goOn.is_none() || pybind11::bool_(goOn);
        } catch (pybind11::error_already_set& error) {
            error.restore();
            return Failed();
        }
    }

    bool Failed() {
        pythonError_ = true;
        return false;
    }

    pybind11::object callback_;
    std::chrono::steady_clock::time_point lastCheck_{};
    bool pythonError_ = false;
};

// Runs work(Progress) with the GIL released (work touches no Python object) and raises what
// stopped it, as the class above says; any other exception passes on with the GIL held again.
template <class Work>
void RunStoppable(pybind11::object callback, Work&& work) {
    PythonProgress progress(std::move(callback));
    bool stopped = false;
    {
        pybind11::gil_scoped_release release;
        try {
            work(progress.Get());
        } catch (const Stopped&) {
            stopped = true;
        }
    }
    if (stopped) progress.Raise();
}

}  // namespace quarnel::python
