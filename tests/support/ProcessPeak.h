#pragma once
// A program run to its end, with its peak memory: what a test of a bound on
// memory reads (never a time).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// The exit status (-1 when it did not exit) and peak resident memory (kB) of
// args[0] run with args. The kernel counts what the forked copy of this
// process held at the exec as well (never vfork: that would be this
// process's own peak), so a test keeps little while it measures.
inline std::pair<int, long> RunMeasured(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return {-1, 0};
    int nStatus = 0;
    struct rusage usage = {};
    if (wait4(pid, &nStatus, 0, &usage) != pid || !WIFEXITED(nStatus))
        return {-1, 0};
    return {WEXITSTATUS(nStatus), usage.ru_maxrss};
}

} // namespace testsupport
