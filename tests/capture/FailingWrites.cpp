#include "FailingWrites.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool armed = false;
std::string suffix;  // only files whose name ends so fail; all when empty
size_t left = 0;
int failure = 0;
int renameFailure = 0;

// The name a descriptor was opened under ends with `suffix`.
bool Chosen(int fd)
{
    if (suffix.empty()) {
        return true;
    }
    char link[64];
    char name[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, name, sizeof name);
    return length >= ssize_t(suffix.size()) && std::memcmp(name + length - suffix.size(), suffix.data(), suffix.size()) == 0;
}

} // namespace

void FailFileWritesAfter(size_t allowed, int error, const char* onlyNamesEndingIn)
{
    armed = true;
    suffix = onlyNamesEndingIn != nullptr ? onlyNamesEndingIn : "";
    left = allowed;
    failure = error;
}

void StopFailingWrites()
{
    armed = false;
    renameFailure = 0;
}

void FailNextRename(int error)
{
    renameFailure = error;
}

extern "C" int rename(const char* from, const char* to)
{
    if (renameFailure != 0) {
        errno = renameFailure;
        renameFailure = 0;
        return -1;
    }
    return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    if (armed && fd > STDERR_FILENO && Chosen(fd)) {
        if (left == 0) {
            errno = failure;
            return -1;
        }
        if (size > left) {
            size = left;  // a short write first, as a device does when it fills
        }
        left -= size;
    }
    return syscall(SYS_write, fd, data, size);
}
