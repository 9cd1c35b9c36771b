#include "PermissionHint.h"
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
    void initTestCase() {
        if (::geteuid() != 0)
            QSKIP("making a port and a device node for another user needs root");
    }

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

    // A refused Connect names the device that was opened and the group that
    // may use it; when no group may, only an administrator can help.
    void permissionHintNamesDeviceAndGroup() {
        const struct group* dialout = ::getgrnam("dialout");
        if (!dialout)
            QSKIP("no dialout group on this system");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
        const QString node = dir.filePath(QStringLiteral("ttyDetector"));
        const std::string nodePath = node.toStdString();
        // A copy of the null device: a character device like a serial port.
        QCOMPARE(::mknod(nodePath.c_str(), S_IFCHR | 0600, ::makedev(1, 3)), 0);
        QCOMPARE(::chown(nodePath.c_str(), 0, dialout->gr_gid), 0);

        const auto refusal = [](const std::string& name) {
            return AsNobody([name]() -> std::string {
                TBlockSerial port;
                port.Connect(name);
                return std::to_string(port.LastError()) +
                       PermissionHint(QString::fromStdString(port.Device()), port.LastError())
                           .toStdString();
            });
        };
        const std::string denied = std::to_string(EACCES);

        QCOMPARE(::chmod(nodePath.c_str(), 0660), 0);
        QCOMPARE(QString::fromStdString(refusal(nodePath)),
                 QString::fromStdString(denied) +
                     QStringLiteral("\nYou need access to the serial device %1 (membership of "
                                    "the group \"dialout\").")
                         .arg(node));

        // The group owns the device but may not use it; nor may anyone else
        // but its owner, or others only read.
        for (const mode_t mode : {0600, 0640, 0604}) {
            QCOMPARE(::chmod(nodePath.c_str(), mode), 0);
            QCOMPARE(QString::fromStdString(refusal(nodePath)),
                     QString::fromStdString(denied) +
                         QStringLiteral("\nYou need access to the serial device %1; an "
                                        "administrator must grant it.")
                             .arg(node));
        }

        // Open to all, the device is not refused (it fails later, being no
        // terminal), and other failures get no hint.
        QCOMPARE(::chmod(nodePath.c_str(), 0666), 0);
        const std::string opened = refusal(nodePath);
        QVERIFY2(opened.find("You need access") == std::string::npos &&
                     opened.rfind("child:", 0) != 0,
                 opened.c_str());
        QCOMPARE(PermissionHint(node, ENOENT), QString());

        // A COM name is refused as the device it stands for.
        struct stat st {};
        if (::stat("/dev/ttyS0", &st) == 0 && (st.st_mode & S_IWOTH) == 0) {
            const QString hint = QString::fromStdString(refusal("COM1"));
            QVERIFY2(hint.startsWith(QString::fromStdString(denied) +
                                     QStringLiteral("\nYou need access to the serial device "
                                                    "/dev/ttyS0")),
                     qPrintable(hint));
        }
    }
};

QTEST_GUILESS_MAIN(TestUnprivileged)
#include "test_unprivileged.moc"
