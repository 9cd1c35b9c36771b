/*
 * Test fixture for running the Win32 serial tests under Wine, loaded with
 * LD_PRELOAD; not part of the product.
 *
 * A pseudo-terminal has no modem lines, so the modem ioctls fail on it with
 * ENOTTY. Wine's WaitCommEvent gives up at once when they fail, which would
 * make every receive time-out fire within a few milliseconds instead of after
 * the time asked for, and Wine reads the DTR and RTS settings of a port back
 * from the lines. Here such a descriptor gets lines: DTR and RTS keep what
 * was set, DSR, CTS and carrier are on, as with a powered detector.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>

enum { MaxFd = 4096 };
static int outputs[MaxFd]; /* DTR and RTS as set, per descriptor */

int ioctl(int fd, unsigned long request, ...) {
    static int (*real)(int, unsigned long, ...);
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    const int saved = errno;
    const int result = real(fd, request, arg);
    if (result == 0 || errno != ENOTTY || fd < 0 || fd >= MaxFd)
        return result;
    const int lines = TIOCM_DTR | TIOCM_RTS;
    switch (request) {
    case TIOCMGET:
        *(int*)arg = outputs[fd] | TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
        break;
    case TIOCMSET:
        outputs[fd] = *(const int*)arg & lines;
        break;
    case TIOCMBIS:
        outputs[fd] |= *(const int*)arg & lines;
        break;
    case TIOCMBIC:
        outputs[fd] &= ~*(const int*)arg;
        break;
    default:
        return result;
    }
    errno = saved;
    return 0;
}
