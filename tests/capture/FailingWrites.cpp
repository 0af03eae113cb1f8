#include "FailingWrites.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool armed = false;
size_t left = 0;
int failure = 0;

} // namespace

void FailFileWritesAfter(size_t allowed, int error)
{
    armed = true;
    left = allowed;
    failure = error;
}

void StopFailingWrites()
{
    armed = false;
}

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    if (armed && fd > STDERR_FILENO) {
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
