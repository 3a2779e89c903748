#pragma once
// Work spread over the machine's cores: Parallel(count, work) runs work(k) for every k below
// count on up to hardware_concurrency threads (k, k + threads, ... on one thread) and returns
// when all are done, rethrowing the first exception any of them threw. Work items must touch
// disjoint data; results that depend on order are combined by the caller afterwards.
#include <cstddef>
#include <functional>

namespace quarnel::geo {

void Parallel(std::size_t count, const std::function<void(std::size_t)>& work);

// How many threads Parallel uses at most.
std::size_t ParallelWidth();

}  // namespace quarnel::geo
