// SPDX-License-Identifier: MIT
#include "cli/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

// The leak checker's and the coverage counters' end-of-process reports,
// which _exit skips; present only in a build made with them.
extern "C" void __lsan_do_leak_check() __attribute__((weak));
extern "C" void __gcov_dump() __attribute__((weak));

namespace {

void reserve(int fd, int flags)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return;
    const int opened = ::open("/dev/null", flags);
    if (opened >= 0 && opened != fd) {
        ::dup2(opened, fd);
        ::close(opened);
    }
}

} // namespace

void reserveStandardStreams()
{
    reserve(STDIN_FILENO, O_RDONLY);
    reserve(STDOUT_FILENO, O_RDONLY);
    reserve(STDERR_FILENO, O_WRONLY);
}

void endProgram(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
    if (__lsan_do_leak_check)
        __lsan_do_leak_check();
    if (__gcov_dump)
        __gcov_dump();
    ::_exit(code);
}
