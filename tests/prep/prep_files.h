#pragma once
// Helpers of the preparation job tests beyond the test kit: running a job as a user who
// cannot write its input.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/testkit/testkit.h"

namespace quarnel::test {

using testkit::FileExists;
using testkit::KvbFileBytes;
using testkit::ReadFile;
using testkit::TempFolder;
using testkit::WriteFile;

// Runs job in a child process whose user cannot write readOnlyFile (mode 0444; as root the child
// drops to an unprivileged user, since root writes through any mode) and returns the job's
// result. The file's folder is opened to everyone so that the child can write its outputs there.
inline int RunWithReadOnlyInput(const std::string& readOnlyFile, const std::function<int()>& job) {
    chmod(readOnlyFile.c_str(), 0444);
    chmod(std::filesystem::path(readOnlyFile).parent_path().c_str(), 0777);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && setuid(65534) != 0) _exit(200);
        _exit(job() & 0xff);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -100;
    return WEXITSTATUS(status);
}

}  // namespace quarnel::test
