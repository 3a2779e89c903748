#include "geo/parallel.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quarnel::geo {

std::size_t ParallelWidth() {
    return std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1, 16);
}

void Parallel(std::size_t count, const std::function<void(std::size_t)>& work) {
    const std::size_t width = std::min(ParallelWidth(), count);
    if (width <= 1) {
        for (std::size_t k = 0; k < count; ++k) work(k);
        return;
    }
    std::exception_ptr failure;
    std::mutex guard;
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < width; ++t)
        threads.emplace_back([&, t] {
            try {
                for (std::size_t k = t; k < count; k += width) work(k);
            } catch (...) {
                const std::lock_guard lock(guard);
                if (!failure) failure = std::current_exception();
            }
        });
    for (std::thread& thread : threads) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace quarnel::geo
