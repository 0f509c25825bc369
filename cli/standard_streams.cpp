// SPDX-License-Identifier: MIT
#include "cli/standard_streams.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

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
    ::_exit(code);
}
