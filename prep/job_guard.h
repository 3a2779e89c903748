#pragma once
// Nothing may cross the C boundary of an export: a job body that throws (bad_alloc from a
// container) ends as the job's failure status.
namespace quarnel::prep {

template <class Body>
int GuardJob(int failureStatus, Body body) noexcept {
    try {
        return body();
    } catch (...) {
        return failureStatus;
    }
}

}  // namespace quarnel::prep
