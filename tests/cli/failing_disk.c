// SPDX-License-Identifier: MIT
/* Loaded with LD_PRELOAD into orvex-cli, it plays a disk that fails:
 *   ORVEX_FAIL_FSYNC=1            fsync() and fdatasync() fail with EIO;
 *   ORVEX_FULL_FOLDER=<folder>     writes to files in that folder fail with
 *                                  ENOSPC, as on a full disk.
 * Everything else goes to the C library as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static int failFsync(void)
{
    const char *value = getenv("ORVEX_FAIL_FSYNC");
    return value && *value;
}

int fsync(int fd)
{
    if (failFsync()) {
        errno = EIO;
        return -1;
    }
    return ((int (*)(int))dlsym(RTLD_NEXT, "fsync"))(fd);
}

int fdatasync(int fd)
{
    if (failFsync()) {
        errno = EIO;
        return -1;
    }
    return ((int (*)(int))dlsym(RTLD_NEXT, "fdatasync"))(fd);
}

/* True when fd is a regular file directly inside the full folder. */
static int inFullFolder(int fd)
{
    const char *folder = getenv("ORVEX_FULL_FOLDER");
    struct stat status;
    if (!folder || !*folder || fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    char link[64];
    char path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length <= 0)
        return 0;
    path[length] = '\0';
    const size_t folderLength = strlen(folder);
    return strncmp(path, folder, folderLength) == 0 && path[folderLength] == '/'
           && !strchr(path + folderLength + 1, '/');
}

ssize_t write(int fd, const void *data, size_t size)
{
    if (size > 0 && inFullFolder(fd)) {
        errno = ENOSPC;
        return -1;
    }
    return ((ssize_t(*)(int, const void *, size_t))dlsym(RTLD_NEXT, "write"))(fd, data, size);
}
