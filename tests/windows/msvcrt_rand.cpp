// The Linux twin draws from the generator of the Windows C runtime, so that training starts from
// the same initial weights in both builds and their outputs can be compared byte for byte.
// These definitions take the place of the C library's for the whole process, the library loaded
// into it included (the program exports them).
#include <cstdint>

namespace {
std::uint32_t state = 1;
}

extern "C" __attribute__((visibility("default"))) void srand(unsigned seed) noexcept {
    state = seed;
}

extern "C" __attribute__((visibility("default"))) int rand() noexcept {
    state = state * 214013u + 2531011u;
    return int((state >> 16) & 0x7fff);
}
