// The serial port on a POSIX terminal device: termios for the line settings,
// poll for waiting, ioctl for queue counts and modem lines. The descriptor is
// non-blocking, so a read hands back what is queued at once, which is the
// behaviour the port class expects of its driver.
#include "serial_line_settings_posix.h"
#include "serial_platform.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/serial.h>
#endif

namespace SerialPlatform {

namespace {

using Clock = std::chrono::steady_clock;

// A device that has no modem lines or queue counters (a pseudo-terminal)
// answers those requests with one of these; that is not a failure.
bool NotSupported(int error) {
    return error == ENOTTY || error == EINVAL;
}

// What a terminal keeps nowhere but a device control block holds: the flow
// limits and the XON/XOFF characters. Remembered per open descriptor so that
// reading the settings back returns what was applied.
struct PortExtras {
    bool applied = false;
    TDCB dcb;
#ifdef __linux__
    bool haveCounts = false;
    bool noCounts = false; // the driver keeps no counters (a pseudo-terminal)
    serial_icounter_struct counts{};
#endif
};

std::mutex extrasLock;
std::map<int, PortExtras>& Extras() {
    static std::map<int, PortExtras> extras;
    return extras;
}

int Fd(PortHandle port) {
    return static_cast<int>(port);
}

bool Valid(PortHandle port) {
    if (port < 0 || port > 0x7fffffff) {
        errno = EBADF;
        return false;
    }
    return ::fcntl(Fd(port), F_GETFD) != -1;
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Error flags raised since the previous call, from the driver's counters.
std::uint32_t TakeErrorFlags([[maybe_unused]] int fd) {
#ifdef __linux__
    std::lock_guard lock(extrasLock);
    PortExtras& e = Extras()[fd];
    // Asked before and after every transfer: a driver without counters is
    // not asked again.
    if (e.noCounts)
        return 0;
    serial_icounter_struct now{};
    if (::ioctl(fd, TIOCGICOUNT, &now) != 0) {
        e.noCounts = NotSupported(errno);
        return 0;
    }
    std::uint32_t flags = 0;
    if (e.haveCounts) {
        if (now.frame != e.counts.frame)
            flags |= ceFrame;
        if (now.overrun != e.counts.overrun)
            flags |= ceOverrun;
        if (now.buf_overrun != e.counts.buf_overrun)
            flags |= ceRxOver;
        if (now.parity != e.counts.parity)
            flags |= ceRxParity;
    }
    e.counts = now;
    e.haveCounts = true;
    return flags;
#else
    return 0;
#endif
}

} // namespace

int LastOsError() {
    return errno;
}

void ClearOsError() {
    errno = 0;
}

std::string OsErrorText(int code) {
    return std::strerror(code);
}

bool ComDeviceName(int comNr, std::string& device) {
    // A name whose number fits no port may still be a path: open it as typed.
    device = comNr >= 0 ? "/dev/ttyS" + std::to_string(comNr) : std::string();
    return true;
}

PortHandle Open(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return InvalidPort;
    // A regular file, a FIFO or /dev/null opens as well, and would only fail
    // later on a line setting with a reason nobody understands.
    if (!::isatty(fd)) {
        ::close(fd);
        errno = ENOTTY;
        return InvalidPort;
    }
    // Exclusive use, also against a second program running as root, which
    // the terminal's own exclusive mode lets through.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        errno = error;
        return InvalidPort;
    }
    if (::ioctl(fd, TIOCEXCL) != 0 && !NotSupported(errno)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return InvalidPort;
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        MakeRaw(t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    {
        std::lock_guard lock(extrasLock);
        Extras()[fd] = PortExtras{};
    }
    TakeErrorFlags(fd); // start counting from now
    errno = 0;
    return fd;
}

bool Close(PortHandle port) {
    if (!Valid(port))
        return false;
    {
        std::lock_guard lock(extrasLock);
        Extras().erase(Fd(port));
    }
    // The exclusive mode belongs to the terminal, not to this descriptor: a
    // pseudo-terminal whose other end stays open keeps it after the close,
    // and would refuse every later open by an ordinary user.
    ::ioctl(Fd(port), TIOCNXCL);
    return ::close(Fd(port)) == 0;
}

bool SetEventMask(PortHandle port, std::uint32_t) {
    return Valid(port);
}

// The terminal driver's queues have a fixed size.
bool SetupQueues(PortHandle port, int, int) {
    return Valid(port);
}

bool SetReadReturnsAtOnce(PortHandle port) {
    termios t{};
    if (::tcgetattr(Fd(port), &t) != 0)
        return false;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    return ::tcsetattr(Fd(port), TCSANOW, &t) == 0;
}

bool GetState(PortHandle port, TDCB& dcb) {
    termios t{};
    if (::tcgetattr(Fd(port), &t) != 0)
        return false;
    TDCB applied;
    {
        std::lock_guard lock(extrasLock);
        const auto it = Extras().find(Fd(port));
        if (it != Extras().end() && it->second.applied)
            applied = it->second.dcb;
        else
            applied.Flags = dcbBinary | dcbDtrControlEnable | dcbRtsControlEnable;
    }
    dcb = DcbFromTermios(t, applied);
    return true;
}

bool SetState(PortHandle port, const TDCB& dcb) {
    termios t{};
    if (::tcgetattr(Fd(port), &t) != 0)
        return false;
    if (!TermiosFromDcb(dcb, t))
        return false;
    if (::tcsetattr(Fd(port), TCSANOW, &t) != 0)
        return false;
    std::lock_guard lock(extrasLock);
    PortExtras& e = Extras()[Fd(port)];
    e.applied = true;
    e.dcb = dcb;
    return true;
}

bool Escape(PortHandle port, EscapeFunction function) {
    int bits = 0;
    unsigned long request = TIOCMBIS;
    switch (function) {
    case EscapeFunction::SetRts:
        bits = TIOCM_RTS;
        break;
    case EscapeFunction::ClearRts:
        bits = TIOCM_RTS;
        request = TIOCMBIC;
        break;
    case EscapeFunction::SetDtr:
        bits = TIOCM_DTR;
        break;
    case EscapeFunction::ClearDtr:
        bits = TIOCM_DTR;
        request = TIOCMBIC;
        break;
    }
    if (::ioctl(Fd(port), request, &bits) == 0)
        return true;
    return NotSupported(errno);
}

bool ModemLines(PortHandle port, bool& dsr, bool& cts) {
    int lines = 0;
    if (::ioctl(Fd(port), TIOCMGET, &lines) != 0) {
        if (!NotSupported(errno))
            return false;
        lines = TIOCM_DSR | TIOCM_CTS;
    }
    dsr = (lines & TIOCM_DSR) != 0;
    cts = (lines & TIOCM_CTS) != 0;
    return true;
}

bool Purge(PortHandle port, unsigned flags) {
    // Nothing is ever pending on a non-blocking descriptor, so the abort
    // flags alone have nothing to act on; the clear flags empty the queues.
    const bool input = (flags & purgeRxClear) != 0;
    const bool output = (flags & purgeTxClear) != 0;
    if (!input && !output)
        return Valid(port);
    const int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ::tcflush(Fd(port), which) == 0;
}

bool ClearErrors(PortHandle port, QueueStatus& status, unsigned queues) {
    int in = 0;
    if ((queues & queueIn) != 0 && ::ioctl(Fd(port), FIONREAD, &in) != 0)
        return false;
    int out = 0;
    if ((queues & queueOut) != 0 && ::ioctl(Fd(port), TIOCOUTQ, &out) != 0) {
        if (!NotSupported(errno))
            return false;
        out = 0;
    }
    status.inQueue = static_cast<std::uint32_t>(in > 0 ? in : 0);
    status.outQueue = static_cast<std::uint32_t>(out > 0 ? out : 0);
    status.errors = TakeErrorFlags(Fd(port));
    return true;
}

Transfer Write(PortHandle port, const void* data, std::size_t length, int deadlockMs) {
    Transfer t;
    const auto* p = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(deadlockMs > 0 ? deadlockMs : 0);
    while (done < length) {
        const ssize_t n = ::write(Fd(port), p + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            t.status = Transfer::Failed;
            t.error = errno;
            break;
        }
        // The output queue is full: wait for room, as long as a transfer may last.
        const int left = RemainingMs(deadline);
        if (left == 0) {
            t.status = Transfer::TimedOut;
            break;
        }
        pollfd pfd{Fd(port), POLLOUT, 0};
        const int r = ::poll(&pfd, 1, left);
        if (r < 0 && errno != EINTR) {
            t.status = Transfer::Failed;
            t.error = errno;
            break;
        }
        if (r > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            t.status = Transfer::Failed;
            t.error = (pfd.revents & POLLNVAL) ? EBADF : EIO;
            break;
        }
    }
    t.count = static_cast<int>(done);
    if (t.status == Transfer::Failed)
        errno = t.error;
    return t;
}

Transfer Read(PortHandle port, void* data, std::size_t length, int) {
    Transfer t;
    for (;;) {
        const ssize_t n = ::read(Fd(port), data, length);
        if (n >= 0) {
            t.count = static_cast<int>(n);
            return t;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return t; // nothing queued
        t.status = Transfer::Failed;
        t.error = errno;
        return t;
    }
}

WaitResult WaitForInput(PortHandle port, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    for (;;) {
        pollfd pfd{Fd(port), POLLIN, 0};
        const int r = ::poll(&pfd, 1, RemainingMs(deadline));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return WaitResult::Failed;
        }
        if (r == 0)
            return WaitResult::Quiet;
        // A hung-up terminal reports itself readable too, but a read only
        // gives end-of-file: the hang-up has to be looked at first.
        if (pfd.revents & POLLNVAL) {
            errno = EBADF;
            return WaitResult::Failed;
        }
        if (pfd.revents & (POLLHUP | POLLERR)) {
            errno = EIO;
            return WaitResult::Failed;
        }
        return WaitResult::DataReady;
    }
}

bool Drain(PortHandle port) {
    for (;;) {
        if (::tcdrain(Fd(port)) == 0)
            return true;
        if (errno == EINTR)
            continue;
        return NotSupported(errno) && Valid(port);
    }
}

void YieldSlice() {
    ::sched_yield();
}

} // namespace SerialPlatform
