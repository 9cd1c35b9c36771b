#include "PtyPeer.h"

#include "Command.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace TestSupport {

namespace {

// Longest request frame accepted while looking for frames; anything claiming
// more is noise and is skipped byte by byte.
constexpr std::size_t MaxRequest = 512;

int MsUntil(std::chrono::steady_clock::time_point when) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(when - std::chrono::steady_clock::now())
            .count();
    return left > 0 ? static_cast<int>(left) : 0;
}

void SetRaw(int fd) {
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        ::tcsetattr(fd, TCSANOW, &t);
    }
}

} // namespace

PeerScript Trickle(const Bytes& bytes, std::size_t chunkSize, int gapMs, int firstDelayMs) {
    PeerScript script;
    chunkSize = std::max<std::size_t>(chunkSize, 1);
    for (std::size_t at = 0; at < bytes.size(); at += chunkSize) {
        const auto end =
            bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + chunkSize));
        script.push_back(PeerStep{script.empty() ? firstDelayMs : gapMs,
                                  Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at), end),
                                  false});
    }
    return script;
}

Bytes MakeReport(std::uint8_t type, const Bytes& payload) {
    const std::size_t len = payload.size();
    // Sized up front: growing a 4-byte initializer-list vector trips a false
    // -Warray-bounds in g++ 12 at -O2.
    Bytes frame(len + 6);
    frame[0] = Command::STX;
    frame[1] = static_cast<std::uint8_t>(len >> 8);
    frame[2] = static_cast<std::uint8_t>(len & 0xFF);
    frame[3] = type;
    std::copy(payload.begin(), payload.end(), frame.begin() + 4);
    frame[len + 4] = Command::FrameChecksum(payload.data(), payload.size());
    frame[len + 5] = Command::ETX;
    return frame;
}

PtyPeer::PtyPeer() {
    if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
    char name[256] = {};
    if (::ttyname_r(m_slave, name, sizeof name) != 0 || ::pipe(m_wake) != 0) {
        ::close(m_master);
        ::close(m_slave);
        throw std::runtime_error("pseudo-terminal without a name");
    }
    m_slavePath = name;
    SetRaw(m_master);
    SetRaw(m_slave);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_wake[0], F_SETFL, ::fcntl(m_wake[0], F_GETFL) | O_NONBLOCK);
    ::fcntl(m_wake[1], F_SETFL, ::fcntl(m_wake[1], F_GETFL) | O_NONBLOCK);
    m_worker = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
    }
    Wake();
    m_worker.join();
    if (m_master >= 0)
        ::close(m_master);
    ::close(m_slave);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
}

void PtyPeer::Wake() {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wake[1], &c, 1);
}

void PtyPeer::Write(const Bytes& bytes) {
    WriteAll(bytes);
}

void PtyPeer::WriteAll(const Bytes& bytes) {
    std::lock_guard writeLock(m_writeLock);
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd pfd{m_master, POLLOUT, 0};
        if (::poll(&pfd, 1, MsUntil(deadline)) == 0)
            return; // the tool does not read: give up rather than hang
    }
}

void PtyPeer::Play(const PeerScript& script) {
    Schedule(script, Clock::now());
}

void PtyPeer::Schedule(const PeerScript& script, Clock::time_point start) {
    {
        std::lock_guard lock(m_lock);
        auto at = start;
        for (const PeerStep& step : script) {
            at += std::chrono::milliseconds(step.delayMs);
            m_pending.emplace(at, Pending{step.bytes, step.hangUp});
        }
    }
    Wake();
}

bool PtyPeer::WaitIdle(int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::unique_lock lock(m_lock);
    for (;;) {
        // With a responder, bytes the tool wrote and the worker has not taken
        // yet are work still to come.
        int unread = 0;
        if (m_responder && m_master >= 0 && ::ioctl(m_master, FIONREAD, &unread) != 0)
            unread = 0;
        if (m_pending.empty() && !m_busy && unread == 0)
            return true;
        if (Clock::now() >= deadline)
            return false;
        m_changed.wait_for(lock, std::chrono::milliseconds(5));
    }
}

Bytes PtyPeer::ReadAvailable(int waitMs) {
    Bytes out;
    int fd = -1;
    {
        std::lock_guard writeLock(m_writeLock);
        fd = m_master;
    }
    if (fd < 0)
        return out;
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, std::max(waitMs, 0)) <= 0)
        return out;
    std::lock_guard writeLock(m_writeLock);
    if (m_master != fd)
        return out;
    std::uint8_t buf[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

Bytes PtyPeer::ReadExactly(std::size_t count, int timeoutMs) {
    Bytes out;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        const int left = MsUntil(deadline);
        Bytes more = ReadAvailable(left);
        if (more.empty() && left == 0)
            break;
        out.insert(out.end(), more.begin(), more.end());
        if (more.empty() && HungUp())
            break;
    }
    // Bytes beyond `count` are not expected in a test that asks for a count;
    // they are kept in the result so that the test sees them.
    return out;
}

void PtyPeer::StartResponder(Responder responder) {
    {
        std::lock_guard lock(m_lock);
        m_responder = std::move(responder);
        m_input.clear();
    }
    Wake();
}

void PtyPeer::StopResponder() {
    {
        std::lock_guard lock(m_lock);
        m_responder = nullptr;
    }
    Wake();
}

int PtyPeer::RequestCount() const {
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_requests.size());
}

std::vector<Bytes> PtyPeer::Requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}

void PtyPeer::HangUp() {
    Schedule({PeerStep{0, {}, true}}, Clock::now());
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, std::chrono::seconds(2), [this] { return m_hungUp; });
}

bool PtyPeer::HungUp() const {
    std::lock_guard lock(m_lock);
    return m_hungUp;
}

void PtyPeer::CloseMaster() {
    std::lock_guard writeLock(m_writeLock);
    std::lock_guard lock(m_lock);
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
    m_hungUp = true;
}

termios PtyPeer::SlaveSettings() const {
    termios t{};
    ::tcgetattr(m_slave, &t);
    return t;
}

void PtyPeer::SetSlaveCooked() {
    termios t{};
    ::tcgetattr(m_slave, &t);
    t.c_iflag |= ICRNL | IXON | BRKINT;
    t.c_oflag |= OPOST | ONLCR;
    t.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    ::tcsetattr(m_slave, TCSANOW, &t);
}

// Splits the tool's output into requests (callers hold m_lock).
void PtyPeer::TakeRequests(std::vector<Bytes>& complete) {
    for (;;) {
        const auto stx = std::find(m_input.begin(), m_input.end(), Command::STX);
        m_input.erase(m_input.begin(), stx);
        if (m_input.size() < 3)
            return;
        const std::size_t total = ((std::size_t{m_input[1]} << 8) | m_input[2]) + 5;
        if (total < 6 || total > MaxRequest) {
            m_input.erase(m_input.begin());
            continue;
        }
        if (m_input.size() < total)
            return;
        Bytes request(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(total));
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(total));
        m_requests.push_back(request);
        complete.push_back(std::move(request));
    }
}

void PtyPeer::Run() {
    std::unique_lock lock(m_lock);
    while (!m_stop) {
        if (!m_pending.empty() && m_pending.begin()->first <= Clock::now()) {
            Pending step = std::move(m_pending.begin()->second);
            m_pending.erase(m_pending.begin());
            m_busy = true;
            lock.unlock();
            if (!step.bytes.empty())
                WriteAll(step.bytes);
            if (step.hangUp)
                CloseMaster();
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
            continue;
        }
        const int timeout = m_pending.empty() ? -1 : MsUntil(m_pending.begin()->first);
        const bool listen = m_responder != nullptr && m_master >= 0;
        pollfd fds[2] = {{m_wake[0], POLLIN, 0}, {m_master, POLLIN, 0}};
        lock.unlock();
        ::poll(fds, listen ? 2 : 1, timeout);
        char drain[64];
        while (::read(m_wake[0], drain, sizeof drain) > 0) {
        }
        std::vector<Bytes> complete;
        if (listen && (fds[1].revents & POLLIN)) {
            lock.lock();
            m_busy = true;
            lock.unlock();
            std::uint8_t buf[1024];
            Bytes got;
            {
                std::lock_guard writeLock(m_writeLock);
                for (ssize_t n; m_master >= 0 && (n = ::read(m_master, buf, sizeof buf)) > 0;)
                    got.insert(got.end(), buf, buf + n);
            }
            lock.lock();
            m_input.insert(m_input.end(), got.begin(), got.end());
            TakeRequests(complete);
            const Responder responder = m_responder;
            lock.unlock();
            for (const Bytes& request : complete) {
                if (responder)
                    Schedule(responder(request), Clock::now());
            }
            lock.lock();
            m_busy = false;
            m_changed.notify_all();
            continue;
        }
        if (listen && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)))
            ::usleep(5000); // nothing to read yet the line reports trouble: do not spin
        lock.lock();
    }
}

} // namespace TestSupport
