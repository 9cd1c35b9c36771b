#include "PtyPeer.h"
#include "synaser.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// The tests run as root, which the kernel exempts from a terminal's exclusive
// mode and from file permissions. What an ordinary user meets is checked here
// in a child process that gives up its rights first.
namespace {

constexpr uid_t nobody = 65534;

// Runs `body` as user and group 65534 without supplementary groups, in a
// forked child, and returns what it returned; a text starting with "child:"
// when the child could not drop its rights, crashed or hung.
std::string AsNobody(const std::function<std::string()>& body) {
    int out[2];
    if (::pipe(out) != 0)
        return "child: no pipe";
    const pid_t pid = ::fork();
    if (pid < 0)
        return "child: no fork";
    if (pid == 0) {
        ::close(out[0]);
        std::string result = "child: could not drop rights";
        if (::setgroups(0, nullptr) == 0 && ::setgid(nobody) == 0 && ::setuid(nobody) == 0)
            result = body();
        const char* p = result.data();
        std::size_t left = result.size();
        while (left > 0) {
            const ssize_t n = ::write(out[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        pollfd pfd{out[0], POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
            ::kill(pid, SIGKILL);
            result = "child: hung";
            break;
        }
        char buf[512];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        result.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child: crashed";
    return result;
}

} // namespace

class TestUnprivileged : public QObject {
    Q_OBJECT
private slots:
    // Connect, Disconnect, Connect must keep working for an ordinary user on
    // a pseudo-terminal, whose exclusive mode outlives a close while the far
    // end stays open; and while connected nobody else may open the port.
    void reconnectsAndKeepsThePortToItself() {
        TestSupport::PtyPeer peer;
        const std::string path = peer.SlavePath();
        QCOMPARE(::chown(path.c_str(), nobody, nobody), 0);
        const std::string result = AsNobody([&path]() -> std::string {
            TBlockSerial port;
            for (int round = 1; round <= 3; ++round) {
                port.Connect(path);
                if (port.LastError() != 0)
                    return "round " + std::to_string(round) + ": " + port.LastErrorDesc();
                const int other = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (other >= 0 || errno != EBUSY)
                    return "round " + std::to_string(round) + ": a second open was let through";
                port.CloseSocket();
            }
            return "ok";
        });
        QCOMPARE(QString::fromStdString(result), QStringLiteral("ok"));
    }
};

QTEST_GUILESS_MAIN(TestUnprivileged)
#include "test_unprivileged.moc"
