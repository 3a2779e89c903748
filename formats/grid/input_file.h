#pragma once
// Opening a file the jobs read. Only a regular file is an input: a folder, FIFO, device or
// socket is refused as a file that cannot be opened, so that no reader blocks on a FIFO's open,
// reads /dev/zero without end, or opens the same stream twice. The open never blocks.
#include <cstdio>

namespace quarnel {

// The file at path opened for binary reading, or nullptr when it cannot be opened or is not a
// regular file.
std::FILE* OpenInputFile(const char* path);

}  // namespace quarnel
